// Mirror and flip: pixels exchanged across the middle column, whole padded rows across the middle
// row.
#include <emmintrin.h>

#include <algorithm>
#include <cstring>

#include "kernels/dispatch.h"
#include "kernels/geometry.h"
#include "kernels/geometry_simd.h"
#include "platform/cpu.h"

namespace kernels {
namespace geom {

// Exchanges the first bytes of two disjoint ranges, 64 at a time.
size_t swapBlocksSse2(uint8_t* a, uint8_t* b, size_t bytes) {
  size_t i = 0;
  for (; i + 64 <= bytes; i += 64) {
    auto* pa = reinterpret_cast<__m128i*>(a + i);
    auto* pb = reinterpret_cast<__m128i*>(b + i);
    __m128i va[4], vb[4];
    for (int k = 0; k < 4; ++k) va[k] = _mm_loadu_si128(pa + k), vb[k] = _mm_loadu_si128(pb + k);
    for (int k = 0; k < 4; ++k) _mm_storeu_si128(pa + k, vb[k]), _mm_storeu_si128(pb + k, va[k]);
  }
  return i;
}

namespace {

SwapBlocksFn chooseBlocks(Isa isa) {
  return isa != Isa::Scalar ? &swapBlocksSse2 : nullptr;
}
DispatchPointer<SwapBlocksFn> gBlocks{&chooseBlocks};

SwapReversedFn chooseSwap3(Isa isa) {
  // Every processor with SSE4.1 also has SSSE3, which the shuffles need.
  static const bool ssse3 = platform::DetectCpuFeatures().sse41;
  return isa != Isa::Scalar && ssse3 ? &swapReversed3Ssse3 : nullptr;
}
DispatchPointer<SwapReversedFn> gSwap3{&chooseSwap3};

}  // namespace

SwapReversedFn SwapReversed3() {
  return gSwap3.get();
}
SwapBlocksFn SwapBlocks() {
  return gBlocks.get();
}

}  // namespace geom

namespace {

// The pixel size fixed at compile time, so each exchange is a few register moves; 8-bit RGB rows
// go through the vector body first, when there is one.
template <typename Sample, int P>
void mirrorRows(Sample* frame, size_t stride, int32_t w, int32_t h) {
  geom::SwapReversedFn vec = nullptr;
  if constexpr (sizeof(Sample) == 1 && P == 3) vec = geom::SwapReversed3();
  for (int32_t y = 0; y < h; ++y) {
    Sample* a = frame + size_t(y) * stride;
    int32_t x = 0;
    if constexpr (sizeof(Sample) == 1 && P == 3)
      if (vec) x = int32_t(vec(a, a + size_t(w) * P, size_t(w / 2)));
    Sample* b = a + size_t(w - 1 - x) * P;
    for (a += size_t(x) * P; x < w / 2; ++x, a += P, b -= P)
      for (int c = 0; c < P; ++c) std::swap(a[c], b[c]);
  }
}

// Whole padded rows trade places as bytes, whatever the sample width.
template <typename Sample>
void flipVertical(int32_t w, int32_t h, Sample* frame, uint8_t p) {
  if (!frame || w < 1 || h < 1 || p < 1 || p > 4) return;
  const size_t bytes = rowStride<Sample>(p, w) * sizeof(Sample);
  const geom::SwapBlocksFn vec = geom::SwapBlocks();
  auto* base = reinterpret_cast<uint8_t*>(frame);
  for (int32_t y = 0; y < h / 2; ++y) {
    uint8_t* a = base + size_t(y) * bytes;
    uint8_t* b = base + size_t(h - 1 - y) * bytes;
    const size_t done = vec ? vec(a, b, bytes) : 0;
    std::swap_ranges(a + done, a + bytes, b + done);
  }
}

template <typename Sample>
void flipImage(int32_t flip, int32_t w, int32_t h, Sample* frame, uint8_t p) {
  if (!frame || w < 1 || h < 1 || p < 1 || p > 4) return;
  if (flip & 1) {
    const size_t stride = rowStride<Sample>(p, w);
    switch (p) {
      case 1:
        mirrorRows<Sample, 1>(frame, stride, w, h);
        break;
      case 2:
        mirrorRows<Sample, 2>(frame, stride, w, h);
        break;
      case 3:
        mirrorRows<Sample, 3>(frame, stride, w, h);
        break;
      default:
        mirrorRows<Sample, 4>(frame, stride, w, h);
        break;
    }
  }
  if (flip & 2) flipVertical(w, h, frame, p);
}

}  // namespace

void FlipImage8(int32_t flip, int32_t w, int32_t h, uint8_t* frame, uint8_t p) {
  flipImage(flip, w, h, frame, p);
}
void FlipImage16(int32_t flip, int32_t w, int32_t h, uint16_t* frame, uint8_t p) {
  flipImage(flip, w, h, frame, p);
}
void FlipVertical8(int32_t w, int32_t h, uint8_t* frame, uint8_t p) {
  flipVertical(w, h, frame, p);
}
void FlipVertical16(int32_t w, int32_t h, uint16_t* frame, uint8_t p) {
  flipVertical(w, h, frame, p);
}

}  // namespace kernels
