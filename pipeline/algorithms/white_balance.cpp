// One-push white balance: channel means to gains, then to temperature and tint or RGB gains.
#include "pipeline/algorithms/white_balance.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <mutex>

#include "pipeline/algorithms/colour_temp.h"
#include "pipeline/pl_tables.h"
#include "pipeline/store/registry.h"

namespace {

using Lock = std::lock_guard<platform::RecursiveLock>;

constexpr uint32_t kUnity = 256;       // white-balance gains, 256 = 1.0
constexpr uint32_t kRgbUnity = 128;    // RGB-gain form, 128 = 1.0
constexpr double kTinyMean = 0x1p-23;  // means at most this count as no response
constexpr double kNoResponse = 1e-10;  // stands in for the red mean then
constexpr int32_t kNeutralTemp = 6503, kNeutralTint = 1000;

// A quotient as a gain; false when it is not a number or outside the signed 32-bit range.
bool asGain(double q, uint32_t& out) {
  if (!std::isfinite(q) || q < 0 || q > double(std::numeric_limits<int32_t>::max())) return false;
  out = uint32_t(q);
  return true;
}

void persist(const std::string& key, const char* name, int32_t value) {
  if (!key.empty()) RegWriteDword(key, name, uint32_t(value));  // failures are skipped
}

}  // namespace

std::array<uint32_t, 3> WhiteBalanceGains(const ChannelSums& s,
                                          const std::array<uint32_t, 3>& base) {
  const std::array<uint32_t, 3> neutral{kUnity, kUnity, kUnity};
  if (s.count[0] == 0 || s.count[1] == 0 || s.count[2] == 0) return neutral;
  const double mR = s.sum[0] / s.count[0], mG = s.sum[1] / s.count[1], mB = s.sum[2] / s.count[2];
  const double m = (mR <= kTinyMean || mB <= kTinyMean) ? kNoResponse : mR;
  const double top = double(kUnity) * double(base[1]) * mG;
  uint32_t r = 0, b = 0;
  if (!asGain(top / (double(base[0]) * m), r) || !asGain(top / (double(base[2]) * mB), b))
    return neutral;
  if (r < 1 || b == 0) return neutral;
  return {r, kUnity, b};
}

std::array<uint32_t, 3> RgbModeGains(const std::array<uint32_t, 3>& g) {
  if (g[0] == g[1] && g[1] == g[2]) return {kRgbUnity, kRgbUnity, kRgbUnity};
  const uint64_t top = *std::max_element(g.begin(), g.end());
  std::array<uint32_t, 3> out{};
  for (size_t i = 0; i < 3; ++i)
    out[i] =
        uint32_t(std::clamp<uint64_t>((kRgbUnity * uint64_t(g[i]) + top / 2) / top, 1, kRgbUnity));
  return out;
}

template <typename Sample>
void WhiteBalanceInit(PLContextT<Sample>& c, const Sample* raw, uint32_t bayer) {
  ImageRect win;
  uint32_t w = 0, h = 0;
  if (!raw || !StateWindow(c, &PLContextT<Sample>::awbRectPx, "WhiteBalanceInit", win, w, h))
    return;
  const uint64_t area = WindowArea(win);
  const ChannelSums s =
      c.hasIsp ? WindowSums("WhiteBalanceInit", raw, uint64_t(w) * h * sizeof(Sample), 3, area)
               : MeasureRaw(raw, w, h, win, bayer, c.colourSites, c.byteOrder != 0);
  WhiteBalanceFromMeans(c, s);
}
template void WhiteBalanceInit(PLContext&, const uint8_t*, uint32_t);
template void WhiteBalanceInit(PLContext16&, const uint16_t*, uint32_t);

void WhiteBalanceInitBmp(PLContext& c, const uint8_t* image, const void* source) {
  ImageRect win;
  uint32_t w = 0, h = 0;
  if (!image || (c.hasIsp && !source) ||
      !StateWindow(c, &PLContext::awbRectPx, "WhiteBalanceInitBmp", win, w, h))
    return;
  const uint64_t area = WindowArea(win);
  const ChannelSums s =
      c.hasIsp ? WindowSums("WhiteBalanceInitBmp", source, uint64_t(w) * h * 2, 3, area)
               : MeasureBmp(image, w, h, c.samplesPerPixel, win, c.byteOrder);
  WhiteBalanceFromMeans(c, s);
}

template <typename Sample>
void WhiteBalanceFromMeans(PLContextT<Sample>& c, const ChannelSums& s) {
  std::array<uint32_t, 3> base;
  {
    Lock hold(*c.mtxSettings);
    base = c.wbGainBase;
  }
  ApplyWhiteBalanceResult(c, WhiteBalanceGains(s, base));
}
template void WhiteBalanceFromMeans(PLContext&, const ChannelSums&);
template void WhiteBalanceFromMeans(PLContext16&, const ChannelSums&);

template <typename Sample>
void ApplyWhiteBalanceResult(PLContextT<Sample>& c, std::array<uint32_t, 3> gains) {
  if (c.wbTempTint) {
    int32_t temp = kNeutralTemp, tint = kNeutralTint;
    if (!GainToTempTint(gains, temp, tint)) {
      temp = std::clamp(temp, kTempMin, kTempMax), tint = std::clamp(tint, kTintMin, kTintMax);
      gains = TempTintToGain(temp, tint);
    }
    {
      Lock hold(*c.mtxSettings);
      c.settings.wbTemp = temp, c.settings.wbTint = tint;
      c.wbGain = gains;
      PL_UpdateWbLut(&c);
    }
    persist(c.regKey, "WhiteBalanceTemp", temp);
    persist(c.regKey, "WhiteBalanceTint", tint);
    return;
  }
  gains = RgbModeGains(gains);
  {
    Lock hold(*c.mtxSettings);
    c.wbGain = gains;
    PL_UpdateWbLut(&c);
  }
  persist(c.regKey, "WBGainR", int32_t(gains[0]) - int32_t(kRgbUnity));
  persist(c.regKey, "WBGainG", int32_t(gains[1]) - int32_t(kRgbUnity));
  persist(c.regKey, "WBGainB", int32_t(gains[2]) - int32_t(kRgbUnity));
}
template void ApplyWhiteBalanceResult(PLContext&, std::array<uint32_t, 3>);
template void ApplyWhiteBalanceResult(PLContext16&, std::array<uint32_t, 3>);

template <typename Sample>
void NotifyWhiteBalance(PLContextT<Sample>& c) {
  PLHostCallbacks cb;
  int32_t temp, tint;
  std::array<int32_t, 3> rgb;
  {
    Lock hold(*c.mtxSettings);
    cb = c.callbacks;
    temp = c.settings.wbTemp, tint = c.settings.wbTint;
    for (size_t i = 0; i < 3; ++i) rgb[i] = int32_t(c.wbGain[i]) - int32_t(kRgbUnity);
  }
  if (c.wbTempTint) {
    if (cb.onWbTempTint) cb.onWbTempTint(temp, tint, cb.onWbTempTintContext);
  } else if (cb.onWbRgb) {
    cb.onWbRgb(rgb.data(), cb.onWbRgbContext);
  }
}
template void NotifyWhiteBalance(PLContext&);
template void NotifyWhiteBalance(PLContext16&);
