// One interior row of the PPG demosaic, shared by the scalar loops and the vector bodies.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kernels {

// Whether raw rows fit 12 bits, worked out once per row and kept by the caller for one run.
struct RowDepthCache {
  int32_t row[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
  uint8_t narrow[8] = {};
};

template <typename Sample>
struct PpgRow {
  const Sample* cur;         // raw row y, pixel 0; rows y - 2 .. y + 2 are pitch samples apart
  ptrdiff_t pitch;           // samples per raw row
  Sample* out;               // output row y, pixel 0
  Sample* greens;            // row y's greens at its red and blue sites, by column / 2, or null
  const Sample* greensUp;    // the same for rows y - 1 and y + 1
  const Sample* greensDown;  // (the colour pass only)
  int32_t xEnd;              // first column past the interior
  int32_t maxval;            // the depth's largest sample
  uint8_t greenEven;         // green sites sit at even x on this row
  uint8_t rowChannel;        // channel of the row's red or blue; the other one gets 2 - rowChannel
  uint8_t p;                 // samples per output pixel, 3 or 4
  int32_t y;                 // the row's image position
  RowDepthCache* depth;      // 16-bit rows' depths, or null to look each time
  uint8_t lastBlockOnly;     // first pass: the output takes only the block at the row's end
};

// Vector bodies: fill whole blocks from x and return the first column left to the scalar loop.
// The first pass writes green and every colour sample of a pixel (the second overwrites what
// is not final) and, given a buffer, its greens there; the second reads greens from the three
// buffers, which must hold every red and blue column of their rows. When the second pass's
// vector body covers this row and its neighbours, the first needs to write only its last block,
// which the scalar loops next to it read.
int32_t ppgGreenRowAvx2(const PpgRow<uint8_t>& row, int32_t x);
int32_t ppgGreenRowAvx2(const PpgRow<uint16_t>& row, int32_t x);
int32_t ppgColourRowAvx2(const PpgRow<uint8_t>& row, int32_t x);
int32_t ppgColourRowAvx2(const PpgRow<uint16_t>& row, int32_t x);

}  // namespace kernels
