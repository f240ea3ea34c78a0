// The border fill split by rows, so a method can fill each row's ends while the row is hot.
#pragma once

#include <cstdint>

#include "kernels/demosaic.h"

namespace kernels {

template <typename Sample>
struct BorderFrame {
  const uint8_t* site;
  uint32_t b;
  const Sample* raw;
  Sample* out;
  int32_t w, h;
  size_t stride;
  uint32_t maxval;
  uint8_t p;
  bool rowOrder;
};

// Frames of at least 4 x 4 only. Full rows y0 .. y1 - 1, or the four side pixels of row y.
template <typename Sample>
void borderRows(const BorderFrame<Sample>& f, int32_t y0, int32_t y1);
template <typename Sample>
void borderEnds(const BorderFrame<Sample>& f, int32_t y);
// The green the fill writes at border pixel (x, y), without writing it.
template <typename Sample>
uint32_t borderGreen(const BorderFrame<Sample>& f, int32_t x, int32_t y);

}  // namespace kernels
