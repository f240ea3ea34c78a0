// CCD exposure, gain and still arithmetic: line periods of the pixel clock, per class and mode.
#include "models/common/ccd_exposure.h"

#include <algorithm>
#include <cmath>

namespace ccd {
namespace {

constexpr double kFastClockMHz = 28.6364;
constexpr double kSlowClockMHz = 14.3182;
constexpr uint32_t kLongFormFrame = 4096;  // the long forms' whole-frame register carries this
constexpr uint32_t kMaxSecondUs = 60'000'000;

uint32_t trunc32(double v) {
  return v <= 0 ? 0 : v >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<uint32_t>(v);
}

// First generation 1.4 MP: whole frames, then the remainder in lines.
CcdExposurePlan frames14(bool longForm, uint16_t speed, uint32_t t) {
  const double f = clockMHz(speed);
  const uint32_t lines = longForm ? 1054 : 1052, lineClocks = longForm ? 1796 : 1810;
  const double period = lines * lineClocks / f;
  const uint32_t n = trunc32(t / period);
  const uint32_t r = t - trunc32(n * period);
  const uint32_t k = std::max<uint32_t>(trunc32(r * f), 801) - 800;
  const uint32_t m = std::min<uint32_t>(static_cast<uint16_t>(k / lineClocks), lines - 1);
  CcdExposurePlan p;
  p.count = 2;
  if (longForm)
    p.writes = {PackedWrite{99, n + kLongFormFrame}, PackedWrite{100, (1053 - m) << 12}};
  else
    p.writes = {PackedWrite{98, n}, PackedWrite{99, (1051 - m) << 12}};
  return p;
}

// First generation 3.1 MP, long form: whole frames, then the remainder in lines of restClocks.
CcdExposurePlan frames31(uint32_t lineClocks, uint32_t lines, uint32_t restClocks, uint16_t speed,
                         uint32_t t) {
  const double f = clockMHz(speed);
  const double period = static_cast<double>(lineClocks) * lines / f;
  const uint32_t w = trunc32(t / period);
  const uint32_t r = t - trunc32(w * period);
  const uint32_t k = std::max<uint32_t>(trunc32(r * f), 1251) - 1251;
  const uint32_t q = static_cast<uint16_t>(k / restClocks);
  const uint32_t m = q >= lines - 1 ? 0 : lines - q - 1;
  CcdExposurePlan p;
  p.writes = {PackedWrite{99, w + kLongFormFrame}, PackedWrite{100, m << 12}};
  p.count = 2;
  return p;
}

// First generation 3.1 MP: lines in the short form, frames and lines in the long one.
CcdExposurePlan lines31(bool longForm, uint32_t mode, uint16_t speed, uint32_t t) {
  if (longForm)
    return mode == 0 ? frames31(2218, 818, 2288, speed, t) : frames31(2300, 252, 2300, speed, t);
  const uint32_t lineClocks = mode == 0 ? 2544 : 5248, lines = mode == 0 ? 872 : 260;
  const uint32_t n = trunc32(t * clockMHz(speed) / lineClocks);
  CcdExposurePlan p;
  p.writes[0] = PackedWrite{99, (lines - std::min(n, lines - 1) - 1) << 12};
  p.count = 1;
  return p;
}

// First generation 5.1 MP: lines only, in either form.
CcdExposurePlan lines51(bool longForm, uint32_t mode, uint16_t speed, uint32_t t) {
  const uint32_t lineClocks = mode == 0 ? 3032 : 3632;
  const uint32_t lines = mode == 0 ? 733 : longForm ? 250 : 219;
  const uint16_t reg = longForm ? 100 : 99;
  const uint32_t n = static_cast<uint16_t>(trunc32(t * clockMHz(speed) / lineClocks));
  CcdExposurePlan p;
  p.writes[0] = PackedWrite{reg, (lines - std::min(n, lines)) << 12};
  p.count = 1;
  return p;
}

// Second generation: the frame is stretched to the exposure, in lines.
CcdExposurePlan frameLength(const CcdSpec& spec, uint32_t mode, uint16_t speed, uint32_t t) {
  const double f = clockMHz(speed);
  const uint32_t lineClocks = spec.lineClocks[mode], minLines = spec.minFrameLines[mode];
  const uint32_t n =
      spec.size == CcdSize::Mp14 ? trunc32(t / (lineClocks / f)) : trunc32(t * f / lineClocks);
  const uint32_t frame = n < minLines ? minLines : n + 1;
  CcdExposurePlan p;
  p.writes[0] = PackedWrite{100, (frame - n) << 12};
  p.count = 1;
  p.frameLines = frame;
  return p;
}

}  // namespace

double clockMHz(uint16_t speed) {
  return speed ? kFastClockMHz : kSlowClockMHz;
}

ValueRange exposureRange(const CcdSpec& spec, bool longForm, uint32_t mode) {
  const ValueRange& whole = spec.model.exposureUs;
  if (spec.second || mode >= spec.modes.size()) return whole;
  if (spec.size == CcdSize::Mp31 && longForm) return whole;
  if (spec.size == CcdSize::Mp14) return whole;
  return spec.modes[mode].shortRangeUs;
}

CcdExposurePlan planExposure(const CcdSpec& spec, bool longForm, uint32_t mode, uint16_t speed,
                             uint32_t us) {
  mode = std::min<uint32_t>(mode, static_cast<uint32_t>(spec.modes.size()) - 1);
  const ValueRange range = exposureRange(spec, longForm, mode);
  const uint32_t t = std::clamp(us, range.min, range.max);
  if (spec.second) return frameLength(spec, mode, speed, t);
  switch (spec.size) {
    case CcdSize::Mp14:
      return frames14(longForm, speed, t);
    case CcdSize::Mp31:
      return lines31(longForm, mode, speed, t);
    case CcdSize::Mp51:
      break;
  }
  return lines51(longForm, mode, speed, t);
}

uint16_t gainCode(const CcdSpec& spec, uint16_t percent) {
  const uint32_t a = (uint32_t{percent} * spec.gainScale + 50) / 100;
  if (a < spec.gainScale || a > 5 * spec.gainScale) return spec.gainFallback;
  return static_cast<uint16_t>((20.0 * std::log10(a / 100.0) - 6.0) / 0.0351);
}

PackedWrite gainWrite(const CcdSpec& spec, bool longForm, uint16_t percent) {
  return PackedWrite{static_cast<uint16_t>(longForm ? 5 : 1), gainCode(spec, percent)};
}

// Past what the exposure can reach the still trades time for gain, never above the gain's top.
CcdStillPlan planStill(const CcdSpec& spec, bool longForm, uint32_t mode, uint32_t index,
                       uint16_t speed, uint32_t exposureUs, uint16_t gainPercent) {
  uint64_t t = exposureUs;
  if (spec.size == CcdSize::Mp31) t = index != 0 && spec.second ? t / 2 : t * 2;
  CcdStillPlan still{};
  if (spec.size == CcdSize::Mp31 && !spec.second && longForm) {
    // The full frame's line period; the remainder in lines of the recorded mode.
    still.exposure = frames31(2218, 818, mode == 0 ? 2288 : 2300, speed,
                              static_cast<uint32_t>(std::min<uint64_t>(t, UINT32_MAX)));
    still.gainPercent = gainPercent;
    return still;
  }
  const uint64_t top = spec.second ? kMaxSecondUs : spec.modes[0].shortRangeUs.max;
  const uint64_t p = uint64_t{gainPercent} * t;
  uint64_t x = p / 100, gain = 100;
  if (p > top * 100) x = top, gain = std::min<uint64_t>(p / top, kMaxGainPercent);
  still.gainPercent = static_cast<uint16_t>(gain);
  const uint32_t us = static_cast<uint32_t>(x);
  if (spec.second) {
    still.exposure = frameLength(spec, std::min<uint32_t>(index, 1), speed,
                                 std::clamp(us, spec.model.exposureUs.min, kMaxSecondUs));
  } else if (spec.size == CcdSize::Mp31) {
    const uint32_t n = trunc32(us * kFastClockMHz / (speed ? 2544 : 5088));
    still.exposure.writes[0] = PackedWrite{99, (871 - std::min<uint32_t>(n, 871)) << 12};
    still.exposure.count = 1;
  } else {
    const uint32_t n = trunc32(us * kFastClockMHz / (speed ? 3032 : 6064));
    still.exposure.writes[0] = PackedWrite{static_cast<uint16_t>(longForm ? 100 : 99),
                                           (733 - std::min<uint32_t>(n, 733)) << 12};
    still.exposure.count = 1;
  }
  return still;
}

}  // namespace ccd
