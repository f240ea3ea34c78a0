// Colour temperature and tint to white-balance gains (256 = 1.0) and back.
#include "pipeline/algorithms/colour_temp.h"

#include <algorithm>
#include <cmath>
#include <limits>

std::array<double, 3> TempToRgb(double t) {
  const double t2 = t * t, t3 = t2 * t;
  double x;
  if (t <= 4000)
    x = 2.7475e8 / t3 - 985980 / t2 + 1174.44 / t + 0.145986;
  else if (t <= 7000)
    x = -4.607e9 / t3 + 2.9678e6 / t2 + 99.11 / t + 0.244063;
  else
    x = -2.0064e9 / t3 + 1.9018e6 / t2 + 247.48 / t + 0.23704;
  const double y = 2.87 * x - 3.0 * x * x - 0.275;
  const double bigX = x / y, bigZ = (1 - x - y) / y;
  const double r = 3.24071 * bigX - 1.53726 - 0.498571 * bigZ;
  const double g = -0.969258 * bigX + 1.87599 + 0.0415557 * bigZ;
  const double b = 0.0556352 * bigX - 0.203996 + 1.05707 * bigZ;
  const double m = std::max(b, std::max(g, std::max(r, 0.0)));
  return {r / m, g / m, b / m};
}

namespace {

// 256 / share as a gain; a share that is not a positive finite number gives unity.
uint32_t gainOf(double numerator, double share) {
  const double q = numerator / share;
  if (!(q >= 0.0) || q > static_cast<double>(std::numeric_limits<uint32_t>::max())) return 256;
  return static_cast<uint32_t>(q);
}

}  // namespace

std::array<uint32_t, 3> TempTintToGain(int32_t temp, int32_t tint) {
  if (temp == 6503 && tint == 1000) return {256, 256, 256};
  temp = std::clamp(temp, kTempMin, kTempMax);
  tint = std::clamp(tint, kTintMin, kTintMax);
  const auto c = TempToRgb(temp);
  return {gainOf(256.0, c[0]), gainOf(256.0 * (tint / 1000.0), c[1]), gainOf(256.0, c[2])};
}

bool GainToTempTint(const std::array<uint32_t, 3>& gains, int32_t& temp, int32_t& tint) {
  temp = 6503;
  tint = 1000;
  if (gains[0] == gains[1] && gains[1] == gains[2]) return true;
  if (gains[0] == 0 || gains[1] == 0 || gains[2] == 0) return false;
  double r = 256.0 / gains[0], g = 256.0 / gains[1], b = 256.0 / gains[2];
  const double m = std::min(r, std::min(g, b));
  r /= m;
  g /= m;
  b /= m;
  const double wanted = b / r;
  double low = 2000, high = 15000, t = 8500;
  std::array<double, 3> c;
  do {
    c = TempToRgb(t);
    if (c[2] / c[0] > wanted)
      high = t;
    else
      low = t;
    t = (low + high) / 2;
  } while (high - low > 10);
  const double tintValue = (c[1] / c[0]) / (g / r) * 1000.0;
  if (!(tintValue > -2147483648.0 && tintValue < 2147483648.0)) return false;
  temp = static_cast<int32_t>(t);
  tint = static_cast<int32_t>(tintValue);
  return temp >= kTempMin && temp <= kTempMax && tint >= kTintMin && tint <= kTintMax;
}
