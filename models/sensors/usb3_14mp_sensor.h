// The USB3 14 MP colour sensor and its alternative chip: a ready wait before start-up, line lengths
// by speed, and on the alternative a wider window the FPGA is told about first.
#pragma once

#include "models/common/sensor_driver.h"

const SensorDriver& Usb3Sensor14Mp();
