// The USB3 8.5 MP and 10 MP colour sensors: one register map and programs, each with its own sizes,
// windows and line lengths.
#pragma once

#include "models/common/sensor_driver.h"

const SensorDriver& Usb3Sensor85Mp();
const SensorDriver& Usb3Sensor10Mp();
