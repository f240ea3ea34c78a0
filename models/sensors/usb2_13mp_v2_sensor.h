// The USB2 1.3 MP colour sensor, second revision: 16-bit registers, 8-bit values.
#pragma once

#include "models/common/sensor_driver.h"

const SensorDriver& Usb2Sensor13MpV2();
