// Brightness measures of auto exposure over a bottom-up frame's window.
#include "pipeline/algorithms/ae_measure.h"

#include <algorithm>
#include <cstring>

#include "base/pixel_formats.h"
#include "base/trace.h"

namespace {

struct Span {
  uint32_t x0, x1, y0, y1;  // x1, y1 exclusive, in image rows from the top
  uint64_t count() const { return uint64_t(x1 - x0) * (y1 - y0); }
};

bool clip(uint32_t w, uint32_t h, const ImageRect& win, Span& s) {
  const int64_t x0 = std::max<int64_t>(win.left, 0), x1 = std::min<int64_t>(w, win.right);
  const int64_t y0 = std::max<int64_t>(win.top, 0), y1 = std::min<int64_t>(h, win.bottom);
  if (x0 >= x1 || y0 >= y1) return false;
  s = {uint32_t(x0), uint32_t(x1), uint32_t(y0), uint32_t(y1)};
  return true;
}

int32_t capped(uint64_t mean) {
  return int32_t(std::min<uint64_t>(mean, 255));
}

// Sum of `Sample`s over the window; memory row of image row y is h - 1 - y.
template <typename Sample>
uint64_t windowSum(const Sample* px, uint32_t w, uint32_t h, const Span& s) {
  uint64_t sum = 0;
  for (uint32_t y = s.y0; y < s.y1; ++y) {
    const Sample* row = px + size_t(h - 1 - y) * w;
    for (uint32_t x = s.x0; x < s.x1; ++x) sum += row[x];
  }
  return sum;
}

// The luma of three sums appended behind `offset` bytes, per pixel of the window, in 0..255.
int32_t auxBrightness(const uint8_t* base, size_t offset, uint8_t auxBits, uint64_t count) {
  int64_t sums[3];
  std::memcpy(sums, base + offset, sizeof sums);
  ZX_TRACE("%s, %lld, %lld, %lld", "GetAverageIntensity", (long long)sums[0], (long long)sums[1],
           (long long)sums[2]);
  double v[3];
  for (int i = 0; i < 3; ++i)
    v[i] = double(sums[i]) / double(auxBits > 8 ? (int64_t{1} << (auxBits - 8)) : 1);
  const double luma = 0.299 * v[0] + 0.587 * v[1] + 0.114 * v[2];
  if (!(luma > 0)) return 0;  // negative or NaN sums
  const double mean = double(int64_t(std::min(luma, 9.0e18))) / double(count);
  return int32_t(std::min(mean, 255.0));
}

}  // namespace

int32_t GetAverageIntensityByte(uint32_t w, uint32_t h, const ImageRect& win, uint8_t auxBits,
                                bool auxSums, const uint8_t* px) {
  Span s;
  if (!clip(w, h, win, s)) return -1;
  const int32_t v = auxSums ? auxBrightness(px, size_t(w) * h, auxBits, s.count())
                            : capped(windowSum(px, w, h, s) / s.count());
  ZX_TRACE("%s = %u", "GetAverageIntensityByte", unsigned(v));
  return v;
}

int32_t GetAverageIntensityUshort(uint32_t w, uint32_t h, const ImageRect& win, uint8_t bits,
                                  bool auxSums, const uint16_t* px) {
  Span s;
  if (!clip(w, h, win, s)) {
    ZX_TRACE("%s, bad aux, w = %d, h = %d, aux = [%d, %d, %d, %d]", "GetAverageIntensityUshort",
             int(w), int(h), win.left, win.top, win.right, win.bottom);
    return -1;
  }
  int64_t mean;
  if (auxSums) {
    mean = auxBrightness(reinterpret_cast<const uint8_t*>(px), size_t(w) * h * 2, bits, s.count());
  } else {
    mean = int64_t(windowSum(px, w, h, s) / s.count());  // at most 65535
    if (bits > 8) mean >>= (bits - 8);
  }
  ZX_TRACE("%s = %lld", "GetAverageIntensityUshort", (long long)mean);
  return capped(uint64_t(mean));
}

int32_t GetAverageIntensityYuv(uint32_t w, uint32_t h, const ImageRect& win, const uint8_t* bytes,
                               const int32_t* luma, bool auxSums, uint8_t format, uint8_t auxBits) {
  Span s;
  if (!clip(w, h, win, s)) return -1;
  if (auxSums) {
    const int32_t v = auxBrightness(bytes, size_t(w) * h * 2, auxBits, s.count());
    ZX_TRACE("%s = %llu", "GetAverageIntensityYuv", (unsigned long long)v);
    return v;
  }
  int64_t sum = 0;
  for (uint32_t y = s.y0; y < s.y1; ++y) {
    const uint8_t* row = bytes + size_t(h - 1 - y) * w * 2;
    if (format == kPixelYuv422) {
      // Groups of U, V, Y0, Y1 for two pixels, counted from byte 2 x left; none past the row.
      for (uint32_t x = s.x0; x < s.x1 && x + 1 < w; x += 2)
        sum += luma[row[2 * x + 2]] + luma[row[2 * x + 3]];
    } else if (format == kPixelYuv422Alt) {
      for (uint32_t x = s.x0; x < s.x1; ++x) sum += luma[row[2 * x + 1]];
    }
  }
  const uint64_t mean = sum <= 0 ? 0 : uint64_t(sum) / s.count();
  ZX_TRACE("%s = %llu", "GetAverageIntensityYuv", (unsigned long long)mean);
  return capped(mean);
}

int32_t GetAverageIntensityByteScaled(uint32_t w, uint32_t h, const ImageRect& win,
                                      const uint8_t* px) {
  Span s;
  if (!clip(w, h, win, s)) return -1;
  return capped(windowSum(px, w, h, s) * 3 / 2 / s.count());
}
