// The USB3 3.1 MP colour sensor (2048 x 1534, or 1024 x 770 skipping alternate rows and columns).
#pragma once

#include "models/common/sensor_driver.h"

const SensorDriver& Usb3Sensor31Mp();
