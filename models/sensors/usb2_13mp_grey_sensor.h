// The USB2 1.3 MP monochrome sensor: one gain, a fixed frame.
#pragma once

#include "models/common/sensor_driver.h"

const SensorDriver& Usb2Sensor13MpGrey();
