// Quarter turns through a scratch copy, tiled so both frames stay in cache; the half turn in
// place.
#include <algorithm>
#include <cstring>

#include "kernels/geometry.h"
#include "kernels/geometry_simd.h"

namespace kernels {
namespace {

// New frame: h wide, w high. Ccw sends source (x, y) to (y, w - 1 - x); Cw to (h - 1 - y, x).
template <typename Sample, int P, bool Ccw>
void turnTiles(const Sample* src, size_t srcStride, Sample* dst, size_t dstStride, int32_t w,
               int32_t h) {
  // Few source rows per tile: rows a power-of-two stride apart share cache sets, and eight of
  // them stay resident while 128 pixels of each are read along the row.
  constexpr int32_t kTileY = 128, kTileX = 8;
  for (int32_t y0 = 0; y0 < w; y0 += kTileY)
    for (int32_t x0 = 0; x0 < h; x0 += kTileX) {
      const int32_t y1 = std::min(y0 + kTileY, w), x1 = std::min(x0 + kTileX, h);
      for (int32_t Y = y0; Y < y1; ++Y) {
        const int32_t sx = Ccw ? w - 1 - Y : Y;
        const Sample* col = src + size_t(sx) * P;
        Sample* out = dst + size_t(Y) * dstStride + size_t(x0) * P;
        for (int32_t X = x0; X < x1; ++X, out += P) {
          const Sample* in = col + size_t(Ccw ? X : h - 1 - X) * srcStride;
          for (int c = 0; c < P; ++c) out[c] = in[c];
        }
      }
    }
}

template <typename Sample, bool Ccw>
bool quarterTurn(Sample* frame, size_t frameBytes, RotateScratch scratch, int32_t w, int32_t h,
                 uint8_t p) {
  if (!frame || w < 1 || h < 1 || p < 1 || p > 4) return false;
  const size_t copyBytes = rotateScratchBytes<Sample>(w, h, p);
  if (frameBytes < turnedFrameBytes<Sample>(w, h, p) || !scratch.data || scratch.bytes < copyBytes)
    return false;
  std::memcpy(scratch.data, frame, copyBytes);
  const auto* src = reinterpret_cast<const Sample*>(scratch.data);
  const size_t srcStride = rowStride<Sample>(p, w), dstStride = rowStride<Sample>(p, h);
  switch (p) {
    case 1:
      turnTiles<Sample, 1, Ccw>(src, srcStride, frame, dstStride, w, h);
      break;
    case 2:
      turnTiles<Sample, 2, Ccw>(src, srcStride, frame, dstStride, w, h);
      break;
    case 3:
      turnTiles<Sample, 3, Ccw>(src, srcStride, frame, dstStride, w, h);
      break;
    default:
      turnTiles<Sample, 4, Ccw>(src, srcStride, frame, dstStride, w, h);
      break;
  }
  return true;
}

// Pixel (x, y) trades places with (w - 1 - x, h - 1 - y); an odd middle row is mirrored.
// 8-bit RGB rows go through the vector body first, when there is one.
template <typename Sample, int P>
void halfTurn(Sample* frame, size_t stride, int32_t w, int32_t h) {
  geom::SwapReversedFn vec = nullptr;
  if constexpr (sizeof(Sample) == 1 && P == 3) vec = geom::SwapReversed3();
  auto exchange = [vec](Sample* a, Sample* b, int32_t count) {
    int32_t x = 0;
    if constexpr (sizeof(Sample) == 1 && P == 3)
      if (vec) x = int32_t(vec(a, b + P, size_t(count)));
    a += size_t(x) * P, b -= size_t(x) * P;
    for (; x < count; ++x, a += P, b -= P)
      for (int c = 0; c < P; ++c) std::swap(a[c], b[c]);
  };
  for (int32_t y = 0; y < h / 2; ++y)
    exchange(frame + size_t(y) * stride, frame + size_t(h - 1 - y) * stride + size_t(w - 1) * P, w);
  if (h & 1) {
    Sample* mid = frame + size_t(h / 2) * stride;
    exchange(mid, mid + size_t(w - 1) * P, w / 2);
  }
}

template <typename Sample>
void rotate180(int32_t w, int32_t h, Sample* frame, uint8_t p) {
  if (!frame || w < 1 || h < 1 || p < 1 || p > 4) return;
  const size_t stride = rowStride<Sample>(p, w);
  switch (p) {
    case 1:
      halfTurn<Sample, 1>(frame, stride, w, h);
      break;
    case 2:
      halfTurn<Sample, 2>(frame, stride, w, h);
      break;
    case 3:
      halfTurn<Sample, 3>(frame, stride, w, h);
      break;
    default:
      halfTurn<Sample, 4>(frame, stride, w, h);
      break;
  }
}

}  // namespace

bool RotateCcw8(uint8_t* f, size_t n, RotateScratch s, int32_t w, int32_t h, uint8_t p) {
  return quarterTurn<uint8_t, true>(f, n, s, w, h, p);
}
bool RotateCcw16(uint16_t* f, size_t n, RotateScratch s, int32_t w, int32_t h, uint8_t p) {
  return quarterTurn<uint16_t, true>(f, n, s, w, h, p);
}
bool RotateCw8(uint8_t* f, size_t n, RotateScratch s, int32_t w, int32_t h, uint8_t p) {
  return quarterTurn<uint8_t, false>(f, n, s, w, h, p);
}
bool RotateCw16(uint16_t* f, size_t n, RotateScratch s, int32_t w, int32_t h, uint8_t p) {
  return quarterTurn<uint16_t, false>(f, n, s, w, h, p);
}
void Rotate180_8(int32_t w, int32_t h, uint8_t* frame, uint8_t p) {
  rotate180(w, h, frame, p);
}
void Rotate180_16(int32_t w, int32_t h, uint16_t* frame, uint8_t p) {
  rotate180(w, h, frame, p);
}

}  // namespace kernels
