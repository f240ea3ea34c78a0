// The USB2 1.3 MP colour sensor with a paged register map (1280 x 1024, 640 x 512, 320 x 256).
#pragma once

#include "models/common/sensor_driver.h"

const SensorDriver& Usb2Sensor13MpRostrel();
const SensorDriver& Usb2Sensor13MpPelvane();
