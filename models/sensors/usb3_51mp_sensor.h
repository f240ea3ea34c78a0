// The USB3 5.1 MP colour sensor (2560 x 1922, or 1280 x 960 and 640 x 480 binned or skipped).
#pragma once

#include "models/common/sensor_driver.h"

const SensorDriver& Usb3Sensor51Mp();
