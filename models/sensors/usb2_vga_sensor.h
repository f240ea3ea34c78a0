// The USB2 VGA colour sensor, which answers its identity before it is programmed.
#pragma once

#include "models/common/sensor_driver.h"

const SensorDriver& Usb2SensorVga();
