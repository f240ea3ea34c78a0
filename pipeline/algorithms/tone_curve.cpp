// The contrast/brightness/gamma tone curve and the filmic tone-mapping curve.
#include "pipeline/algorithms/tone_curve.h"

#include <algorithm>
#include <vector>

#include "base/trace.h"

namespace {

// Contrast turns the line about mid-grey: slope 1 + c / 255, so 0 is the identity at every depth.
// (Scaling only the mid-point by c would shift every level down instead of widening them.)
uint32_t contrastEntry(uint32_t v, uint32_t n, int32_t c, uint32_t tmax) {
  const double y = v + (v - n * 0.5) * c / 255.0;
  return TruncToEntry(y, tmax);
}

// 2b >= 1 brightens: 255 v / (255 - 2b), computed exactly in integers.
uint32_t brightnessEntry(uint32_t v, int32_t b, uint32_t tmax) {
  const int64_t twoB = 2 * int64_t{b};
  int64_t y;
  if (twoB >= 1)
    y = 255 * int64_t{v} / (255 - twoB);
  else
    y = (twoB * int64_t{v}) / 255 + v;
  return static_cast<uint32_t>(std::clamp<int64_t>(y, 0, tmax));
}

}  // namespace

template <typename Entry>
void CalcToneCurveLut(std::span<Entry> out, uint8_t bits, int32_t contrast, int32_t brightness,
                      int32_t gamma, std::span<const Entry> base) {
  bits = std::clamp<uint8_t>(bits, 1, sizeof(Entry) * 8);
  contrast = std::clamp(contrast, -100, 100);
  brightness = std::clamp(brightness, -64, 64);  // keeps 255 - 2b positive
  gamma = std::clamp(gamma, 20, 180);
  const uint32_t tmax = (1u << bits) - 1u;
  // %u for the byte: the Windows runtime's printf checking does not know %hhu.
  ZX_TRACE("%s: bitdepth = %u, con = %d, bri = %d, gmm = %d, tmax = %u", "CalcToneCurveLut",
           static_cast<unsigned>(bits), contrast, brightness, gamma, tmax);
  if (out.size() <= tmax) return;
  const bool useBase = base.size() > tmax;
  const double exponent = gamma / 100.0;
  for (uint32_t v = 0; v <= tmax; ++v) {
    const uint32_t tb =
        brightnessEntry(contrastEntry(v, tmax + 1, contrast, tmax), brightness, tmax);
    const uint32_t tg =
        TruncToEntry(std::pow(static_cast<double>(tb) / tmax, exponent) * tmax, tmax);
    out[v] = useBase ? base[tg] : static_cast<Entry>(tg);
  }
}

namespace {

double filmic(double x) {
  const double f = x * (2.51 * x + 0.03) / (x * (2.43 * x + 0.59) + 0.14);
  return std::clamp(f, 0.0, 1.0);
}

double srgbEncode(double t) {
  double e;
  if (t + 2.220446049250313e-16 >= 1)
    e = 1;
  else if (t <= 0.0031308)
    e = 12.92 * t;
  else
    e = 1.055 * std::pow(t, 1 / 2.4) - 0.055;
  return std::clamp(e, 0.0, 1.0);
}

}  // namespace

template <typename Entry>
void ToneMapLut(double a, double b, double c, uint8_t bits, std::span<Entry> out) {
  const uint32_t scale = bits == 0 ? 255u : (1u << std::min<uint8_t>(bits, 16)) - 1u;
  if (out.size() <= scale) return;
  const double lh = std::log10(filmic(a));
  const double x0 = a * c / 255.0;
  const double ll = std::log10(filmic(x0));
  const double k = std::log10(0.0003035269835488375);
  for (uint32_t i = 0; i <= scale; ++i) {
    const double x = static_cast<double>(i) / scale * (a - x0) + x0;
    const double y = std::log10(filmic(x));
    double t = std::pow(10.0, (lh - y) / (lh - ll) * k * b);
    t = std::isnan(t) ? 0.0 : std::clamp(t, 0.0, 1.0);  // a degenerate curve gives black
    out[i] = static_cast<Entry>(TruncToEntry(srgbEncode(t) * scale, scale));
  }
}

template void CalcToneCurveLut<uint8_t>(std::span<uint8_t>, uint8_t, int32_t, int32_t, int32_t,
                                        std::span<const uint8_t>);
template void CalcToneCurveLut<uint16_t>(std::span<uint16_t>, uint8_t, int32_t, int32_t, int32_t,
                                         std::span<const uint16_t>);
template void ToneMapLut<uint8_t>(double, double, double, uint8_t, std::span<uint8_t>);
template void ToneMapLut<uint16_t>(double, double, double, uint8_t, std::span<uint16_t>);
