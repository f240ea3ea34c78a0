// Four-row mosaic to an ordinary 2 x 2 mosaic of the same size, edges repeated.
#include <algorithm>
#include <cstring>

#include "kernels/demosaic.h"

namespace kernels {
namespace {

template <typename Sample>
void quickRow(const Sample* raw, Sample* dst, int32_t w, int32_t y, int32_t limit) {
  const Sample* r0 = raw + size_t(y) * w;
  const Sample* r2 = r0 + 2 * size_t(w);
  Sample* d = dst + size_t(y) * w;
  const bool swap = (y % 4 == 0) || (y % 4 == 3);
  for (int32_t x = 1; x <= w - 2; ++x) {
    const int32_t p = (r0[x] + r0[x + 1] + r2[x] + r2[x + 1]) >> 2;
    const int32_t h0 = ((r0[x - 1] + r0[x + 1]) >> 1) - r0[x];
    const int32_t h2 = ((r2[x - 1] + r2[x + 1]) >> 1) - r2[x];
    int32_t e1 = swap ? h2 : h0, e2 = swap ? h0 : h2;
    if (x & 1) e1 = -e1, e2 = -e2;
    // >> of a negative value rounds toward minus infinity, as the conversion wants.
    const int32_t va = p + (e2 >> 1) + 2 * e1;
    const int32_t vg = 2 * p - e1 + e2;
    const int32_t vb = p - 2 * e2 - (e1 >> 1);
    const int32_t v = (y & 1) == 0 ? ((x & 1) == 0 ? va : vg) : ((x & 1) == 0 ? vg : vb);
    d[x] = static_cast<Sample>(std::clamp(v, 0, limit));
  }
  d[0] = d[2];
  d[w - 1] = d[w - 3];
}

template <typename Sample>
void quickDemosaic(const Sample* raw, Sample* dst, int32_t w, int32_t h, int32_t limit) {
  if (!raw || !dst || w < 1 || h < 1) return;
  const size_t rowBytes = size_t(w) * sizeof(Sample);
  if (w < 4 || h < 6) {  // too small for the conversion's reach: the frame stays as it was
    std::memmove(dst, raw, rowBytes * h);
    return;
  }
  for (int32_t y = 2; y <= h - 3; ++y) quickRow(raw, dst, w, y, limit);
  auto row = [&](int32_t y) { return dst + size_t(y) * w; };
  std::memcpy(row(0), row(2), rowBytes);
  std::memcpy(row(1), row(3), rowBytes);
  std::memcpy(row(h - 2), row(h - 4), rowBytes);
  std::memcpy(row(h - 1), row(h - 3), rowBytes);
}

}  // namespace

void QuickDemosaic8(const uint8_t* raw, uint8_t* dst, int32_t w, int32_t h) {
  quickDemosaic(raw, dst, w, h, 255);
}

void QuickDemosaic16(const uint16_t* raw, uint16_t* dst, int32_t w, int32_t h) {
  quickDemosaic(raw, dst, w, h, 4095);
}

}  // namespace kernels
