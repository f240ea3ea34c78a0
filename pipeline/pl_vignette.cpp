// Vignette correction tables: a radius per pixel and a gain per radius.
#include "pipeline/pl_vignette.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

uint32_t outerRadius(uint32_t width, uint32_t height) {
  const double hh = height * 0.5, hw = width * 0.5;
  return static_cast<uint32_t>(std::sqrt(hh * hh + hw * hw) + 0.5);
}

std::shared_ptr<const std::vector<int32_t>> radiusTable(uint32_t width, uint32_t height) {
  auto radius = std::make_shared<std::vector<int32_t>>(size_t{width} * height);
  const int64_t cy = height / 2, cx = width / 2;
  size_t i = 0;
  for (uint32_t row = 0; row < height; ++row) {
    const int64_t dy = cy - row;
    for (uint32_t col = 0; col < width; ++col, ++i) {
      const int64_t dx = cx - col;
      (*radius)[i] = static_cast<int32_t>(std::sqrt(static_cast<double>(dy * dy + dx * dx)));
    }
  }
  return radius;
}

}  // namespace

uint32_t VignetteGainCount(uint32_t width, uint32_t height) {
  return outerRadius(width, height) + 1;
}

std::shared_ptr<const VignetteTableSet> BuildVignetteTables(
    uint32_t width, uint32_t height, double amount, double midpoint,
    const std::shared_ptr<const VignetteTableSet>& previous) {
  auto set = std::make_shared<VignetteTableSet>();
  set->width = width;
  set->height = height;
  if (previous && previous->radius && previous->width == width && previous->height == height)
    set->radius = previous->radius;
  else
    set->radius = radiusTable(width, height);
  const uint32_t r = outerRadius(width, height);
  set->gain.assign(size_t{r} + 1, 1.0);
  if (r < 1) return set;
  for (uint32_t i = 0; i <= r; ++i) {
    const double d = std::max(0.0, i - r * midpoint);
    const double c = std::cos(d / r * amount);
    const double c4 = c * c * c * c;
    set->gain[i] = amount >= 0 ? 1.0 / c4 : c4;
  }
  return set;
}
