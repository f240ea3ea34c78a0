// AE window mark: the AE rectangle inverted on three calls of four, so it blinks.
#include <algorithm>

#include "kernels/statistics.h"

namespace kernels {
namespace {

template <typename Sample>
void markAeWindow(PLContextT<Sample>* ctx, Sample* image, int32_t width, int32_t height) {
  if (!ctx) return;
  if ((++ctx->aeMarkCount & 3u) == 1u) return;  // the skipped call of each four
  const PixelRect r = ctx->aeRectPx;
  const uint8_t p = ctx->samplesPerPixel;
  if (!image || width < 1 || height < 1 || p < 1) return;
  const int32_t left = std::max(r.left, 0), right = std::min(r.right, width);
  const int32_t top = std::max(r.top, 0), bottom = std::min(r.bottom, height);
  if (left >= right || top >= bottom) return;
  const size_t stride = rowStride<Sample>(p, width);
  const int channels = std::min<int>(p, 3);
  // Inverting within the depth keeps every sample a valid value of it.
  const uint32_t max = sampleMax<Sample>(ctx->bitDepth);
  for (int32_t y = top; y < bottom; ++y) {
    Sample* px = image + size_t(height - 1 - y) * stride + size_t(left) * p;
    for (int32_t x = left; x < right; ++x, px += p)
      for (int c = 0; c < channels; ++c)
        px[c] = static_cast<Sample>(max - std::min<uint32_t>(px[c], max));
  }
}

}  // namespace

void MarkAeWindow(PLContext* ctx, uint8_t* image, int32_t width, int32_t height) {
  markAeWindow(ctx, image, width, height);
}

void MarkAeWindow16(PLContext16* ctx, uint16_t* image, int32_t width, int32_t height) {
  markAeWindow(ctx, image, width, height);
}

}  // namespace kernels
