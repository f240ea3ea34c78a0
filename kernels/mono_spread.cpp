// Mono output: each raw grey sample spread into its output pixel.
#include "kernels/raw_steps.h"

namespace kernels {
namespace {

template <typename Sample, int P>
void spreadRow(const Sample* in, Sample* out, int32_t w) {
  for (int32_t x = 0; x < w; ++x, out += P) {
    if constexpr (P == 1) {
      out[0] = in[x];
    } else {
      out[0] = out[1] = out[2] = in[x];
      if constexpr (P == 4) out[3] = 0;
    }
  }
}

template <typename Sample>
void spreadMono(const Layout& l, int32_t w, int32_t h, const Sample* raw, Sample* out) {
  if (!raw || !out || w < 1 || h < 1) return;
  const uint8_t p = l.samplesPerPixel;
  const size_t stride = rowStride<Sample>(p, w);
  for (int32_t y = 0; y < h; ++y) {
    const Sample* in = raw + size_t(y) * w;
    Sample* row = out + size_t(outputRow(y, h, l.rowOrder != 0)) * stride;
    if (p == 1)
      spreadRow<Sample, 1>(in, row, w);
    else if (p == 4)
      spreadRow<Sample, 4>(in, row, w);
    else if (p == 3)
      spreadRow<Sample, 3>(in, row, w);
    // other sizes have no layout to write into
  }
}

}  // namespace

void SpreadMono(const Layout& l, int32_t w, int32_t h, const uint8_t* raw, uint8_t* out) {
  spreadMono(l, w, h, raw, out);
}

void SpreadMono(const Layout& l, int32_t w, int32_t h, const uint16_t* raw, uint16_t* out) {
  spreadMono(l, w, h, raw, out);
}

}  // namespace kernels
