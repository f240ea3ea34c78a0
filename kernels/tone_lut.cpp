// Tone curve: a table on the three colour samples of each pixel.
#include <algorithm>

#include "kernels/byte_table.h"
#include "kernels/colour_steps.h"

namespace kernels {
namespace {

template <typename Sample>
void applyToneLut(const ToneLut<Sample>& lut, int32_t width, int32_t rows, Sample* stripe,
                  uint8_t p) {
  if (!lut || !stripe || width < 1 || rows < 1 || !colourPixel(p)) return;
  const size_t stride = rowStride<Sample>(p, width);
  const uint32_t last = lut.count - 1;
  if constexpr (sizeof(Sample) == 1) {
    // A full 256-entry table (the clamp folded in) lets each row go through as plain bytes.
    uint8_t full[256];
    for (uint32_t v = 0; v < 256; ++v) full[v] = lut.table[std::min(v, last)];
    for (int32_t y = 0; y < rows; ++y)
      bytes::Lookup(full, stripe + size_t(y) * stride, size_t(width) * p, p == 4);
    return;
  }
  for (int32_t y = 0; y < rows; ++y) {
    Sample* px = stripe + size_t(y) * stride;
    for (int32_t x = 0; x < width; ++x, px += p)
      for (int c = 0; c < 3; ++c) px[c] = lut.table[std::min<uint32_t>(px[c], last)];
  }
}

}  // namespace

void ApplyToneLut(const ToneLut<uint8_t>& lut, int32_t width, int32_t rows, uint8_t* stripe,
                  uint8_t p) {
  applyToneLut(lut, width, rows, stripe, p);
}

void ApplyToneLut16(const ToneLut<uint16_t>& lut, int32_t width, int32_t rows, uint16_t* stripe,
                    uint8_t p) {
  applyToneLut(lut, width, rows, stripe, p);
}

}  // namespace kernels
