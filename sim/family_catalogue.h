// Which simulated sensor answers a product id, how it sees a scene, how many defect lists its
// EEPROM holds and its link's packet size; stays in step with models/catalogue_table.cpp.
#pragma once

#include <cstdint>
#include <memory>

#include "sim/frame_content.h"
#include "sim/sensor_family.h"

namespace sim {

struct FamilyEntry {
  uint16_t usb3Id;  // the USB2 registration is this + 0x1000; 0 for a USB2-only sensor
  std::unique_ptr<SensorFamily> (*make)();
  int bayerOrder;                  // the model's order at its largest size
  std::array<uint16_t, 3> wbBase;  // the model's base gains; 0 counts as unity
  uint16_t eepromLists;
  uint16_t usb2OnlyId = 0;  // the one registration of a sensor without a USB3 link
};

// The entry of a product id (either registration); the 3.1 MP one for ids it does not know.
const FamilyEntry& FamilyFor(uint16_t productId);
// The Bayer order and a channel response mirroring the model's base gains, so greys stay neutral.
SceneOptions SceneFor(uint16_t productId);
// 1024 on a USB3 registration, 512 on a USB2 one.
uint16_t MaxPacketFor(uint16_t productId);

}  // namespace sim
