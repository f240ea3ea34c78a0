// Mono tone table: the first sample of each pixel through the table, into its colour samples.
#include "kernels/raw_steps.h"

namespace kernels {
namespace {

template <typename Sample>
void applyMonoLut(const Sample* table, int32_t w, int32_t h, Sample* image, uint8_t p) {
  if (!table || !image || w < 1 || h < 1 || !(p == 1 || colourPixel(p))) return;
  const size_t stride = rowStride<Sample>(p, w);
  for (int32_t y = 0; y < h; ++y) {
    Sample* px = image + size_t(y) * stride;
    if (p == 1) {
      for (int32_t x = 0; x < w; ++x) px[x] = table[px[x]];
      continue;
    }
    for (int32_t x = 0; x < w; ++x, px += p) px[0] = px[1] = px[2] = table[px[0]];
  }
}

}  // namespace

void ApplyMonoLut(const uint8_t* table, int32_t w, int32_t h, uint8_t* image, uint8_t p) {
  applyMonoLut(table, w, h, image, p);
}

void ApplyMonoLut16(const uint16_t* table, int32_t w, int32_t h, uint16_t* image, uint8_t p) {
  applyMonoLut(table, w, h, image, p);
}

}  // namespace kernels
