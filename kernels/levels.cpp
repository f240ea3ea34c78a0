// Levels: each colour through its own level table, or a mono pixel's luma through the gray one.
#include "kernels/colour_steps.h"

namespace kernels {
namespace {

template <typename Sample, typename Order>
void applyLevels(const LevelTables<Sample>& t, Sample* stripe, int32_t width, int32_t rows) {
  if (!stripe || width < 1 || rows < 1 || !(t.p == 1 || colourPixel(t.p))) return;
  const bool mono = t.mono != 0;
  if (mono ? !(t.gray && t.lumaR && t.lumaG && t.lumaB) : !(t.red && t.green && t.blue)) return;
  const size_t stride = rowStride<Sample>(t.p, width);
  // The luma keeps only the bits a sample holds, as the gray table is indexed by sample.
  constexpr uint32_t kMask = sizeof(Sample) == 1 ? 0xFFu : 0xFFFFu;
  // One sample a pixel is the grey pixel (v, v, v); it keeps what the first byte would get.
  const bool grey = t.p == 1;
  const size_t ri = grey ? 0 : Order::kRed, gi = grey ? 0 : 1, bi = grey ? 0 : Order::kBlue;
  const Sample* first = Order::kRed == 0 ? t.red : t.blue;
  for (int32_t y = 0; y < rows; ++y) {
    Sample* px = stripe + size_t(y) * stride;
    if (mono) {
      for (int32_t x = 0; x < width; ++x, px += t.p) {
        const auto l = static_cast<uint32_t>(t.lumaR[px[ri]] + t.lumaG[px[gi]] + t.lumaB[px[bi]]);
        px[0] = t.gray[l & kMask];
        if (!grey) px[1] = px[2] = px[0];
      }
    } else {
      for (int32_t x = 0; x < width; ++x, px += t.p) {
        if (grey) {
          px[0] = first[px[0]];
          continue;
        }
        px[Order::kRed] = t.red[px[Order::kRed]];
        px[1] = t.green[px[1]];
        px[Order::kBlue] = t.blue[px[Order::kBlue]];
      }
    }
  }
}

}  // namespace

void ApplyLevelsBgr(const LevelTables<uint8_t>& t, uint8_t* stripe, int32_t width, int32_t rows) {
  applyLevels<uint8_t, Bgr>(t, stripe, width, rows);
}
void ApplyLevelsRgb(const LevelTables<uint8_t>& t, uint8_t* stripe, int32_t width, int32_t rows) {
  applyLevels<uint8_t, Rgb>(t, stripe, width, rows);
}
void ApplyLevels16Bgr(const LevelTables<uint16_t>& t, uint16_t* stripe, int32_t width,
                      int32_t rows) {
  applyLevels<uint16_t, Bgr>(t, stripe, width, rows);
}
void ApplyLevels16Rgb(const LevelTables<uint16_t>& t, uint16_t* stripe, int32_t width,
                      int32_t rows) {
  applyLevels<uint16_t, Rgb>(t, stripe, width, rows);
}

}  // namespace kernels
