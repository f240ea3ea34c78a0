// One interior row of the bilinear demosaic, shared by the scalar loop and the vector bodies.
#pragma once

#include <cstdint>

namespace kernels {

template <typename Sample>
struct BilinearRow {
  const Sample* up;    // raw row y - 1
  const Sample* cur;   // raw row y
  const Sample* dn;    // raw row y + 1
  Sample* out;         // output row, pixel 0
  int32_t xEnd;        // first column past the interior
  uint8_t greenEven;   // green sites sit at even x on this row
  uint8_t rowChannel;  // channel of the row's red or blue; the other one gets 2 - rowChannel
  uint8_t p;           // samples per output pixel, 3 or 4
};

// Vector bodies: fill whole blocks from x and return the first column left to the scalar loop.
int32_t bilinearRowAvx2(const BilinearRow<uint8_t>& row, int32_t x);
int32_t bilinearRowAvx2(const BilinearRow<uint16_t>& row, int32_t x);

}  // namespace kernels
