// Mono output: a raw grey frame spread into the output pixels, or handed to the host hook.
#include <algorithm>

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
void convertMono(PLContextT<Sample>* ctx, int32_t w, int32_t h, const Sample* raw, Sample* out) {
  if (!ctx) return;
  const PLHostCallbacks& cb = ctx->callbacks;
  if (cb.demosaicCallback) {
    cb.demosaicCallback(kMonoFourCC, w, h, raw, out, ctx->bitDepth, cb.demosaicCallbackContext);
    return;
  }
  if (!raw || !out || w < 1 || h < 1) return;
  const uint8_t p = ctx->samplesPerPixel;
  const size_t stride = rowStride<Sample>(p, w);
  for (int32_t y = 0; y < h; ++y) {
    const Sample* in = raw + size_t(y) * w;
    Sample* row = out + size_t(outputRow(y, h, ctx->rowOrder != 0)) * stride;
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

void ConvertMono(PLContext* ctx, int32_t w, int32_t h, const uint8_t* raw, uint8_t* out) {
  convertMono(ctx, w, h, raw, out);
}

void ConvertMono16(PLContext16* ctx, int32_t w, int32_t h, const uint16_t* raw, uint16_t* out) {
  convertMono(ctx, w, h, raw, out);
}

}  // namespace kernels
