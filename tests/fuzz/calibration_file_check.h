// The properties a calibration file import keeps for any input, checked over arbitrary bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace fuzzcheck {

// The input written to a temporary file, imported as dark and flat table into 8-bit and
// high-bit states of one and three planes. Aborts when a result is not 0, 1, 0x80070057 or
// 0x8000FFFF, when a refused file changed the table or its validity, or when an accepted one
// does not export back to the input bytes.
void CheckCalibrationFile(const uint8_t* data, size_t size);

// Valid files of every kind the check imports, for seeds.
std::vector<std::vector<uint8_t>> CalibrationSeeds();

}  // namespace fuzzcheck
