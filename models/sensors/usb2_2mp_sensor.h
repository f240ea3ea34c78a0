// The USB2 2 MP colour sensor (1600 x 1200, or 800 x 600 reduced or windowed).
#pragma once

#include "models/common/sensor_driver.h"

const SensorDriver& Usb2Sensor2MpRostrel();
const SensorDriver& Usb2Sensor2MpPelvane();
