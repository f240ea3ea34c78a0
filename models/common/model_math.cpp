// Arithmetic the model drivers share: gain bands, line-count halving, LUTs and pixel sizes.
#include "models/common/model_math.h"

uint16_t ModelMath::bandLookup(std::span<const Band> bands, uint32_t x, uint16_t above) {
  for (const Band& band : bands) {
    if (x < band.limit) return band.value;
  }
  return above;
}

LineCount ModelMath::halveToFit(uint32_t lines, uint32_t lineClock, uint32_t maxLines) {
  while (lines > maxLines) {
    lines /= 2;
    lineClock *= 2;
  }
  return {lines, lineClock};
}

void ModelMath::lutFromAnchors(std::span<const LutAnchor> anchors, std::span<uint16_t> lut) {
  if (anchors.empty()) return;
  size_t next = 0;
  for (size_t i = 0; i < lut.size(); ++i) {
    while (next < anchors.size() && anchors[next].in < i) ++next;
    if (next == anchors.size()) {
      lut[i] = anchors.back().out;
    } else if (next == 0 || anchors[next].in == i) {
      lut[i] = anchors[next].out;
    } else {
      const LutAnchor& a = anchors[next - 1];
      const LutAnchor& b = anchors[next];
      // Rounded to nearest so that the table stays close to the curve the anchors trace.
      const int32_t span = b.in - a.in;
      const int32_t t = static_cast<int32_t>(i) - a.in;
      const int32_t rise = (b.out - a.out) * t;
      lut[i] = static_cast<uint16_t>(a.out + (rise + (rise < 0 ? -span : span) / 2) / span);
    }
  }
}

float ModelMath::pixelSizeByRatio(float basePixelSize, ResolutionRatio ratio) {
  if (ratio.denominator == 0) return basePixelSize;
  return basePixelSize * static_cast<float>(ratio.numerator) /
         static_cast<float>(ratio.denominator);
}

uint32_t ModelMath::roundedLines(uint32_t timeUs, uint32_t clockMHz, uint32_t lineClock) {
  if (lineClock == 0) return 0;
  constexpr uint64_t kCounterTop = 0xFFFF;
  const uint64_t lines = (uint64_t{timeUs} * clockMHz + lineClock / 2) / lineClock;
  return static_cast<uint32_t>(lines < kCounterTop ? lines : kCounterTop);
}

uint16_t ModelMath::gainCode(const GainCurve& curve, uint32_t percent) {
  const uint64_t v = uint64_t{percent} * curve.scale / 100;
  for (const GainSegment& s : curve.segments) {
    if (v < s.lo || v > s.hi) continue;
    return static_cast<uint16_t>(s.divisor ? v / s.divisor + s.base : s.base);
  }
  return curve.fallback;
}

uint32_t ModelMath::scaledPercent(uint32_t percent, double ratio) {
  const double product = percent * ratio;
  return product <= 0 ? 0 : product >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<uint32_t>(product);
}
