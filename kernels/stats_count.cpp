// Statistics: 256-bin luma and colour counts of a stripe.
#include <algorithm>

#include "kernels/statistics.h"

namespace kernels {
namespace {

template <typename Sample, typename Order>
void countColour(const Layout& l, const LumaWeights& luma, const Sample* stripe, int32_t width,
                 int32_t rows, StatsCounts& counts) {
  const uint8_t p = l.samplesPerPixel;
  const size_t stride = rowStride<Sample>(p, width);
  const uint32_t max = sampleMax<Sample>(l.bits);
  const uint32_t shift = l.bits > 8 ? l.bits - 8u : 0u;
  const double *lr = luma.red, *lg = luma.green, *lb = luma.blue;
  for (int32_t y = 0; y < rows; ++y) {
    const Sample* px = stripe + size_t(y) * stride;
    for (int32_t x = 0; x < width; ++x, px += p) {
      const uint32_t r = std::min<uint32_t>(px[Order::kRed], max);
      const uint32_t g = std::min<uint32_t>(px[1], max);
      const uint32_t b = std::min<uint32_t>(px[Order::kBlue], max);
      const auto lu = std::min(static_cast<uint32_t>(lr[r] + lg[g] + lb[b]), max);
      ++counts[0][lu >> shift], ++counts[1][r >> shift], ++counts[2][g >> shift],
          ++counts[3][b >> shift];
    }
  }
}

template <typename Sample>
void countMono(const Layout& l, const Sample* stripe, int32_t width, int32_t rows,
               StatsCounts& counts) {
  const uint8_t p = l.samplesPerPixel;
  const size_t stride = rowStride<Sample>(p, width);
  const uint32_t max = sampleMax<Sample>(l.bits);
  const uint32_t shift = l.bits > 8 ? l.bits - 8u : 0u;
  for (int32_t y = 0; y < rows; ++y) {
    const Sample* px = stripe + size_t(y) * stride;
    for (int32_t x = 0; x < width; ++x, px += p)
      ++counts[0][std::min<uint32_t>(px[0], max) >> shift];
  }
}

template <typename Sample>
void countStats(const Layout& l, bool mono, const LumaWeights& luma, const Sample* stripe,
                int32_t width, int32_t rows, StatsCounts& counts) {
  if (!stripe || width < 1 || rows < 1 || l.samplesPerPixel < 1) return;
  if (mono) return countMono(l, stripe, width, rows, counts);
  if (!colourPixel(l.samplesPerPixel) || !luma.red || !luma.green || !luma.blue) return;
  if (l.byteOrder)
    countColour<Sample, Bgr>(l, luma, stripe, width, rows, counts);
  else
    countColour<Sample, Rgb>(l, luma, stripe, width, rows, counts);
}

}  // namespace

void CountStats(const Layout& l, bool mono, const LumaWeights& luma, const uint8_t* stripe,
                int32_t width, int32_t rows, StatsCounts& counts) {
  countStats(l, mono, luma, stripe, width, rows, counts);
}
void CountStats(const Layout& l, bool mono, const LumaWeights& luma, const uint16_t* stripe,
                int32_t width, int32_t rows, StatsCounts& counts) {
  countStats(l, mono, luma, stripe, width, rows, counts);
}

}  // namespace kernels
