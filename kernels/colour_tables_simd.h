// Vector body of the per-colour tables on 3-byte pixels: whole blocks of pixels from the row
// start; it returns how many it did and the caller's scalar loop finishes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kernels::planes {

// Byte j of every pixel becomes tables[j][byte], for the first pixels of a row of `pixels`.
size_t colourTables3Avx2(const uint8_t* const tables[3], uint8_t* row, size_t pixels);

}  // namespace kernels::planes
