// The exposure trackbar's cube-root scale.
#include "pages/rules/exposure_scale.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kThird = 0.3333333333333333;
constexpr double kUsPerStep = 1000.0;

}  // namespace

ExposureScale ExposureScaleOf(uint32_t minUs, uint32_t maxUs) {
  const uint32_t maxPos = std::max<uint32_t>(1, maxUs / 1000);
  // min·max² exceeds 64 bits for long exposures: the product is taken in double.
  const double product = double(minUs) * double(maxUs) * double(maxUs);
  const double minPos = std::trunc(std::pow(product, kThird) / kUsPerStep + 1.0);
  return {std::min<uint32_t>(uint32_t(std::min<double>(minPos, maxPos)), maxPos), maxPos};
}

uint32_t ExposureTimeToSliderPos(uint32_t timeUs, uint32_t minUs, uint32_t maxUs) {
  const ExposureScale scale = ExposureScaleOf(minUs, maxUs);
  const double ratio = double(timeUs) / (double(scale.maxPos) * kUsPerStep);
  const double pos = std::trunc(std::pow(ratio, kThird) * scale.maxPos);
  if (!(pos >= scale.minPos)) return scale.minPos;
  if (pos > scale.maxPos) return scale.maxPos;
  return uint32_t(pos);
}

uint32_t SliderPosToExposureTime(uint32_t pos, uint32_t minUs, uint32_t maxUs) {
  const ExposureScale scale = ExposureScaleOf(minUs, maxUs);
  if (pos <= scale.minPos) return minUs;
  if (pos >= scale.maxPos) return maxUs;
  const double r = double(pos) / scale.maxPos;
  const double time = std::trunc(r * r * scale.maxPos * kUsPerStep * r);
  if (time < minUs) return minUs;
  return time > maxUs ? maxUs : uint32_t(time);
}
