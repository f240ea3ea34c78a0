// The USB2 5.1 MP colour sensor: 8-bit registers, a PLL by speed (the twin's by size too) and a
// window that follows the region, programmed at once.
#pragma once

#include "models/common/sensor_driver.h"

const SensorDriver& Usb2Sensor51MpRostrel();
const SensorDriver& Usb2Sensor51MpPelvane();
