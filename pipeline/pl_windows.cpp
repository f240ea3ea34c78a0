// AE, AWB and ABB windows between persisted fractions (x 10,000,000) and processed-frame pixels.
#include "pipeline/pl_windows.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "pipeline/pl_settings.h"

namespace {

int32_t toFraction(int32_t edge, uint32_t size) {
  if (size == 0) return 0;
  const int64_t f = (int64_t{edge} * kFractionOne + size / 2) / size;
  if (f < 0 || f > std::numeric_limits<int32_t>::max()) return 0;
  return static_cast<int32_t>(f);
}

int32_t toPixel(int32_t fraction, uint32_t size) {
  // A block handed in may hold anything; fractions outside 0..1 are taken as their bound.
  const auto f = static_cast<uint64_t>(std::clamp(fraction, 0, kFractionOne));
  const uint64_t p = (f * size + 5000000u) / 10000000u;
  const uint64_t last = size - 1u;
  return static_cast<int32_t>(p > 0xFFFFFFFFu ? 0 : std::min(p, last));
}

}  // namespace

std::array<int32_t, 4> RectToFraction(uint32_t width, uint32_t height, const ImageRect& rect) {
  return {toFraction(rect.left, width), toFraction(rect.top, height), toFraction(rect.right, width),
          toFraction(rect.bottom, height)};
}

ImageRect FractionToRect(uint32_t width, uint32_t height, const int32_t fractions[4]) {
  if (width == 0 || height == 0) return {};
  ImageRect r{toPixel(fractions[0], width), toPixel(fractions[1], height),
              toPixel(fractions[2], width), toPixel(fractions[3], height)};
  if (r.left > r.right) std::swap(r.left, r.right);
  if (r.top > r.bottom) std::swap(r.top, r.bottom);
  return r;
}

ImageRect CentreFifth(uint32_t width, uint32_t height) {
  const auto w = static_cast<int32_t>(width), h = static_cast<int32_t>(height);
  return {2 * w / 5, 2 * h / 5, w / 5 + 2 * w / 5, h / 5 + 2 * h / 5};
}
