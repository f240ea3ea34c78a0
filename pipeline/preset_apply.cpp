// A preset taken from the live camera, checked, and put back onto it.
#include "pipeline/preset_apply.h"

#include <algorithm>
#include <mutex>

#include "base/lumorix_flags.h"
#include "base/pixel_formats.h"
#include "base/trace.h"
#include "pipeline/device_values.h"
#include "pipeline/pl_frame_hooks.h"
#include "pipeline/pl_setters.h"
#include "pipeline/pl_start.h"
#include "pipeline/pl_state.h"
#include "pipeline/pl_tables.h"
#include "pipeline/pl_windows.h"
#include "pipeline/store/device_settings.h"
#include "pipeline/store/preset_store.h"
#include "pipeline/store/registry.h"
#include "pipeline/store/settings_io.h"

namespace {

using Lock = std::lock_guard<platform::RecursiveLock>;
namespace F = PLProcessFlags;

constexpr int32_t kTecTargetLimit = 300;
constexpr uint32_t kAeMaxTimeDefault = 350000;
constexpr uint32_t kAeMaxGainDefault = 500;
constexpr uint8_t kAePolicyFallback = 1;
constexpr int32_t kAeThresholdMin = 5, kAeThresholdMax = 25;
constexpr uint8_t kBinningAverage = 0x80, kBinningMaxFactor = 4;
constexpr uint32_t kBandwidthDefault = 85;
constexpr uint32_t kPreciseDefaultPercent = 85;

uint8_t validBinning(uint8_t b) {
  if (!(b & kBinningAverage)) return b >= 1 && b <= kBinningMaxFactor ? b : 1;
  const uint8_t factor = std::clamp<uint8_t>(b & 0x0F, 1, kBinningMaxFactor);
  return uint8_t(kBinningAverage | factor);
}

uint8_t firstAvailableFormat(const PLHlperBase& h) {
  for (uint8_t f = 0; f < kPixelFormatCount; ++f)
    if (h.formatAvailable[f]) return f;
  return 0;
}

// The factory record: the state's defaults, the model's share, the flag-word defaults.
template <typename Sample>
PresetRecord defaultRecord(PLHlperBase& h, const PLContextT<Sample>& c) {
  PresetRecord r{};
  PL_SetDefaults(&c, &r.settings);
  h.PLHlperGetDefaultPreset(&r);
  if (h.hasFlag(LUMORIX_FLAG_BLACKLEVEL)) {
    static constexpr struct {
      uint64_t flag;
      uint16_t factor;
    } kDepth[] = {{LUMORIX_FLAG_RAW10, 4},
                  {LUMORIX_FLAG_RAW12, 16},
                  {LUMORIX_FLAG_RAW14, 64},
                  {LUMORIX_FLAG_RAW16, 256}};
    for (const auto& d : kDepth)
      if (h.hasFlag(d.flag)) {
        r.blackLevel = uint16_t(std::min<uint32_t>(uint32_t{r.blackLevel} * d.factor, 0xFFFF));
        break;
      }
  }
  r.skip = h.hasFlag(LUMORIX_FLAG_SKIP) ? 1 : 0;
  r.tecOn = h.hasFlag(LUMORIX_FLAG_TEC) ? 1 : 0;
  r.lightFrequency = uint8_t(std::min<uint32_t>(r.settings.lightFrequency, kLightSteady));
  r.binning = 1;
  r.aeMaxTime = kAeMaxTimeDefault;
  r.aeMaxGain = kAeMaxGainDefault;
  const char16_t name[] = u"default";
  std::copy(std::begin(name), std::end(name), r.name);
  return r;
}

template <typename Sample>
void applySettings(PLContextT<Sample>& c, const PLSettings& settings) {
  CopySettingsBlock(c, settings);
  PL_ApplySettings(&c, true);
  PL_SaveSettings(&c);
}

// Speed, skip, fan, cooler and its target.
void applyDeviceValues(PLHlperBase& h, const PresetRecord& r) {
  PL_SetSpeed(h, r.speed, 0);
  PL_SetSkip(h, r.skip, false);
  PL_SetFan(h, r.fan);
  PL_SetTec(h, r.tecOn);
  if (h.hasFlag(LUMORIX_FLAG_TEC) && h.hasFlag(LUMORIX_FLAG_TECTARGET) &&
      r.tecTarget >= -kTecTargetLimit && r.tecTarget <= kTecTargetLimit)
    PL_SetTecTarget(h, r.tecTarget);
}

// Mode times, black level, conversion gain, binning, then bandwidth and precise frame rate.
void applyModeValues(PLHlperBase& h, const PresetRecord& r) {
  {
    Lock hold(h.sensorLock());
    h.triggerModeTime = r.triggerModeTime;
    h.videoModeTime = r.videoModeTime;
  }
  PL_SetBlackLevel(h, r.blackLevel);
  if (h.hasFlag(LUMORIX_FLAG_CG)) PL_SetCG(h, uint8_t(F::cgValue(r.settings.processFlags)));
  {
    Lock hold(h.sensorLock());
    h.PLHlperSetBinning(r.binning);
  }
  const uint32_t top = h.GetPreciseFrameRateMax();
  if (top == 0) return;
  PL_ApplyPresetBandwidth(h,
                          r.bandwidth >= 1 && r.bandwidth <= 100 ? r.bandwidth : kBandwidthDefault);
  PL_ApplyPresetPreciseFrameRate(h, r.preciseFrameRate == 0
                                        ? uint32_t(uint64_t{top} * kPreciseDefaultPercent / 100)
                                        : std::min(r.preciseFrameRate, top));
}

}  // namespace

uint8_t PresetPixelFormat(const PresetRecord& r) {
  return uint8_t((r.settings.processFlags & F::kFormatMask) >> F::kFormatShift);
}

void CapturePreset(PLHlperBase& h, PresetRecord* out) {
  if (!out) return;
  PresetRecord r{};
  WithState(h, [&](auto& c) {
    Lock hold(*c.mtxSettings);
    r.settings = c.settings;
    const auto ae = RectToFraction(c, c.aeRectPx), awb = RectToFraction(c, c.awbRectPx),
               abb = RectToFraction(c, c.abbRectPx);
    std::copy(ae.begin(), ae.end(), r.settings.aeRect);
    std::copy(awb.begin(), awb.end(), r.settings.awbRect);
    std::copy(abb.begin(), abb.end(), r.settings.abbRect);
    if (!h.wbTempTint) SetRgbGains(r.settings, c.wbGain[0], c.wbGain[1], c.wbGain[2]);
  });
  {
    Lock hold(h.sensorLock());
    r.speed = uint8_t(std::min<uint32_t>(h.speed, 0xFF));
    r.skip = h.skip != 0;
    r.lightFrequency = uint8_t(std::min<uint32_t>(r.settings.lightFrequency, 0xFF));
    r.fan = uint8_t(std::min<uint32_t>(h.fanSpeed, h.fanMaxSpeed));
    r.tecOn = h.tecOn != 0;
    r.tecTarget = std::clamp(h.tecTarget, -kTecTargetLimit, kTecTargetLimit);
    r.triggerModeTime = h.triggerModeTime;
    r.videoModeTime = h.videoModeTime;
    if (h.hasFlag(LUMORIX_FLAG_BLACKLEVEL)) r.blackLevel = h.blackLevel;
    r.binning = h.PLHlperGetBinning();
    r.aeMaxTime = h.aeMaxTime;
    r.aeMaxGain = h.aeMaxGain;
    r.preciseFrameRate = h.preciseFrameRate;
    r.bandwidth = h.bandwidth;
  }
  r.settings.processFlags =
      (r.settings.processFlags & ~F::kFormatMask) | (uint32_t{h.pixelFormat} << F::kFormatShift);
  *out = r;
}

void ValidatePreset(const PLHlperBase& h, PresetRecord& r) {
  PLSettings& s = r.settings;
  s.aeTarget = std::clamp<uint8_t>(s.aeTarget, 16, 220);
  if (h.wbTempTint) {
    s.wbTemp = std::clamp(s.wbTemp, 2000, 15000);
    s.wbTint = std::clamp(s.wbTint, 200, 2500);
  }
  s.hue = std::clamp(s.hue, -180, 180);
  s.saturation = std::clamp(s.saturation, 0, 255);
  s.brightness = std::clamp(s.brightness, -64, 64);
  s.contrast = std::clamp(s.contrast, -100, 100);
  s.gamma = std::clamp(s.gamma, 20, 180);
  r.lightFrequency = std::min<uint8_t>(r.lightFrequency, kLightSteady);
  r.fan = uint8_t(std::min<uint32_t>(r.fan, h.fanMaxSpeed));
  r.tecTarget = std::clamp(r.tecTarget, -kTecTargetLimit, kTecTargetLimit);
  if (s.aePolicy > kAePolicyLast) s.aePolicy = kAePolicyFallback;
  if (s.aeThreshold < kAeThresholdMin || s.aeThreshold > kAeThresholdMax)
    s.aeThreshold = kAeThresholdMin;
  if (r.aeMaxTime == 0) r.aeMaxTime = kAeMaxTimeDefault;
  if (r.aeMaxGain == 0) r.aeMaxGain = kAeMaxGainDefault;
  if (r.tecOn && r.fan == 0) r.fan = uint8_t(std::min<uint32_t>(h.fanMaxSpeed, 0xFF));
  const uint8_t format = PresetPixelFormat(r);
  if (format >= kPixelFormatCount || !h.formatAvailable[format])
    s.processFlags =
        (s.processFlags & ~F::kFormatMask) | (uint32_t{firstAvailableFormat(h)} << F::kFormatShift);
  // The sensor takes its black level in the model's deepest units, whatever format is chosen.
  r.blackLevel = std::min(r.blackLevel, BlackLevelMax(h.modelFlags));
  r.binning = validBinning(r.binning);
}

int32_t ApplyPreset(PLHlperBase& h, uint32_t index, uint8_t* pixelFormat, uint16_t* speed) {
  PresetRecord r{};
  const bool hasState = WithState(h, [&](auto& c) {
    if (index == kDefaultPresetIndex)
      r = defaultRecord(h, c);
    else {
      std::lock_guard<std::mutex> list(h.presetLock());
      PresetGet(h.presets(), &r, index);
    }
  });
  if (!hasState || r.name[0] == 0) return kPresetNotApplied;
  ValidatePreset(h, r);
  if (speed) *speed = r.speed;
  const uint8_t format = PresetPixelFormat(r);
  ZX_TRACE("%s: %u, format %u", "ApplyPreset", index, unsigned{format});
  if (!h.regKey.empty()) RegWriteDword(h.regKey, "PixelFormat", format);
  PLSettings settings = r.settings;
  settings.lightFrequency = r.lightFrequency;
  WithState(h, [&](auto& c) { applySettings(c, settings); });
  PL_SetAeMax(h, r.aeMaxTime, uint16_t(std::min<uint32_t>(r.aeMaxGain, 0xFFFF)));
  SaveBlackBalance(h, r.settings.blackOffset, format);
  {
    Lock hold(h.sensorLock());
    h.PLHlperSetLightFrequency(r.lightFrequency);
  }
  ExpoProcTime(h, 1);
  ExpoProcAGain(h, settings.expoGain, 1);
  applyDeviceValues(h, r);
  applyModeValues(h, r);
  if (pixelFormat) *pixelFormat = format;
  return 0;
}
