// The USB2 2 MP colour sensor (1600 x 1200, or 800 x 600 reduced or windowed) and the 3.1 MP one on
// its register map (2048 x 1536, its window following the region).
#pragma once

#include "models/common/sensor_driver.h"

const SensorDriver& Usb2Sensor2MpRostrel();
const SensorDriver& Usb2Sensor2MpPelvane();
const SensorDriver& Usb2Sensor31MpRostrel();
const SensorDriver& Usb2Sensor31MpPelvane();
