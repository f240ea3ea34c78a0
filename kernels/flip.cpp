// Mirror and flip: pixels exchanged across the middle column, whole padded rows across the middle row.
#include <algorithm>
#include <cstring>

#include "kernels/geometry.h"

namespace kernels {
namespace {

// The pixel size fixed at compile time, so each exchange is a few register moves.
template <typename Sample, int P>
void mirrorRows(Sample* frame, size_t stride, int32_t w, int32_t h) {
  for (int32_t y = 0; y < h; ++y) {
    Sample* a = frame + size_t(y) * stride;
    Sample* b = a + size_t(w - 1) * P;
    for (int32_t x = 0; x < w / 2; ++x, a += P, b -= P)
      for (int c = 0; c < P; ++c) std::swap(a[c], b[c]);
  }
}

template <typename Sample>
void flipVertical(int32_t w, int32_t h, Sample* frame, uint8_t p) {
  if (!frame || w < 1 || h < 1 || p < 1 || p > 4) return;
  const size_t stride = rowStride<Sample>(p, w);
  for (int32_t y = 0; y < h / 2; ++y)
    std::swap_ranges(frame + size_t(y) * stride, frame + size_t(y + 1) * stride,
                     frame + size_t(h - 1 - y) * stride);
}

template <typename Sample>
void flipImage(int32_t flip, int32_t w, int32_t h, Sample* frame, uint8_t p) {
  if (!frame || w < 1 || h < 1 || p < 1 || p > 4) return;
  if (flip & 1) {
    const size_t stride = rowStride<Sample>(p, w);
    switch (p) {
      case 1: mirrorRows<Sample, 1>(frame, stride, w, h); break;
      case 2: mirrorRows<Sample, 2>(frame, stride, w, h); break;
      case 3: mirrorRows<Sample, 3>(frame, stride, w, h); break;
      default: mirrorRows<Sample, 4>(frame, stride, w, h); break;
    }
  }
  if (flip & 2) flipVertical(w, h, frame, p);
}

}  // namespace

void FlipImage8(int32_t flip, int32_t w, int32_t h, uint8_t* frame, uint8_t p) { flipImage(flip, w, h, frame, p); }
void FlipImage16(int32_t flip, int32_t w, int32_t h, uint16_t* frame, uint8_t p) { flipImage(flip, w, h, frame, p); }
void FlipVertical8(int32_t w, int32_t h, uint8_t* frame, uint8_t p) { flipVertical(w, h, frame, p); }
void FlipVertical16(int32_t w, int32_t h, uint16_t* frame, uint8_t p) { flipVertical(w, h, frame, p); }

}  // namespace kernels
