// Full-resolution histogram counts of the processed frame.
#include <algorithm>

#include "kernels/statistics.h"

namespace kernels {
namespace {

template <typename Sample, typename Order>
void countHistogram(const Sample* image, size_t stride, int32_t width, int32_t height, uint8_t p,
                    bool mono, uint32_t n, uint32_t* counts) {
  const uint32_t max = n - 1;
  for (int32_t y = 0; y < height; ++y) {
    const Sample* px = image + size_t(y) * stride;
    if (mono) {
      for (int32_t x = 0; x < width; ++x, px += p) ++counts[std::min<uint32_t>(px[0], max)];
      continue;
    }
    for (int32_t x = 0; x < width; ++x, px += p) {
      ++counts[std::min<uint32_t>(px[Order::kRed], max)];
      ++counts[n + std::min<uint32_t>(px[1], max)];
      ++counts[2 * n + std::min<uint32_t>(px[Order::kBlue], max)];
    }
  }
}

template <typename Sample>
void count(const Layout& l, bool mono, const Sample* image, int32_t width, int32_t height,
           uint32_t* counts) {
  const uint8_t p = l.samplesPerPixel;
  if (!counts || l.bits < 1 || l.bits > 8 * sizeof(Sample) || p < 1 || (!mono && !colourPixel(p)))
    return;
  const uint32_t n = 1u << l.bits;
  std::fill(counts, counts + (mono ? n : 3 * n), 0u);
  if (!image || width < 1 || height < 1) return;
  const size_t stride = rowStride<Sample>(p, width);
  if (l.byteOrder)
    countHistogram<Sample, Bgr>(image, stride, width, height, p, mono, n, counts);
  else
    countHistogram<Sample, Rgb>(image, stride, width, height, p, mono, n, counts);
}

}  // namespace

void CountHistogram(const Layout& l, bool mono, const uint8_t* image, int32_t width, int32_t height,
                    uint32_t* counts) {
  count(l, mono, image, width, height, counts);
}
void CountHistogram(const Layout& l, bool mono, const uint16_t* image, int32_t width,
                    int32_t height, uint32_t* counts) {
  count(l, mono, image, width, height, counts);
}

}  // namespace kernels
