// The USB2 8, 9 and 10 MP colour sensors: one register map whose window follows the region, each
// class with its own offsets, line tables, still windows, clocks and gain rule.
#pragma once

#include "models/common/sensor_driver.h"

const SensorDriver& Usb2SensorRostrel8Mp();
const SensorDriver& Usb2SensorRostrel9Mp();
const SensorDriver& Usb2SensorRostrel10Mp();
const SensorDriver& Usb2SensorPelvane8Mp();
const SensorDriver& Usb2SensorPelvane9Mp();
const SensorDriver& Usb2SensorPelvane10Mp();
