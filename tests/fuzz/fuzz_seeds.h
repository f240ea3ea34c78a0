// Seed inputs of the fuzz targets, written by the product's own writers and the simulator's
// EEPROM images.
#pragma once

#include <cstdint>
#include <vector>

namespace fuzz {

using Bytes = std::vector<uint8_t>;

std::vector<Bytes> EepromSeeds();
std::vector<Bytes> DefectListSeeds();
std::vector<Bytes> PresetSeeds();  // buffers of every layout; also the file target's seeds

}  // namespace fuzz
