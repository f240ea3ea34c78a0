// Window inversion: the pixels of a rectangle turned to their complement within the depth.
#include <algorithm>

#include "kernels/statistics.h"

namespace kernels {
namespace {

template <typename Sample>
void invertRect(const Layout& l, const ImageRect& r, Sample* image, int32_t width, int32_t height) {
  const uint8_t p = l.samplesPerPixel;
  if (!image || width < 1 || height < 1 || p < 1) return;
  const int32_t left = std::max(r.left, 0), right = std::min(r.right, width);
  const int32_t top = std::max(r.top, 0), bottom = std::min(r.bottom, height);
  if (left >= right || top >= bottom) return;
  const size_t stride = rowStride<Sample>(p, width);
  const int channels = std::min<int>(p, 3);
  // Inverting within the depth keeps every sample a valid value of it.
  const uint32_t max = sampleMax<Sample>(l.bits);
  for (int32_t y = top; y < bottom; ++y) {
    Sample* px = image + size_t(height - 1 - y) * stride + size_t(left) * p;
    for (int32_t x = left; x < right; ++x, px += p)
      for (int c = 0; c < channels; ++c)
        px[c] = static_cast<Sample>(max - std::min<uint32_t>(px[c], max));
  }
}

}  // namespace

void InvertRect(const Layout& l, const ImageRect& r, uint8_t* image, int32_t width,
                int32_t height) {
  invertRect(l, r, image, width, height);
}
void InvertRect(const Layout& l, const ImageRect& r, uint16_t* image, int32_t width,
                int32_t height) {
  invertRect(l, r, image, width, height);
}

}  // namespace kernels
