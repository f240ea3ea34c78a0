// The USB2 14 MP colour sensor, standard or alternative chip (the device says which at its open):
// whole-frame windows, the line length by speed, size and chip.
#pragma once

#include "models/common/sensor_driver.h"

const SensorDriver& Usb2Sensor14MpRostrel();
const SensorDriver& Usb2Sensor14MpPelvane();
