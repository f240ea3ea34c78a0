// Defaults of the settings block and its persistence in the camera's registry subkey.
#include "pipeline/store/settings_io.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "pipeline/store/registry.h"
#include "pipeline/pl_tables.h"
#include "pipeline/pl_windows.h"

namespace {

constexpr const char* kWindowNames[3][4] = {
    {"AERectLeft", "AERectTop", "AERectRight", "AERectBottom"},
    {"AWBRectLeft", "AWBRectTop", "AWBRectRight", "AWBRectBottom"},
    {"ABBRectLeft", "ABBRectTop", "ABBRectRight", "ABBRectBottom"}};

constexpr const char* kRgbGainNames[3] = {"WBGainR", "WBGainG", "WBGainB"};

void setDefaultWindows(PLSettings& s) {
  for (int32_t* rect : {s.aeRect, s.awbRect, s.abbRect}) {
    rect[0] = rect[1] = kWindowLowDefault;
    rect[2] = rect[3] = kWindowHighDefault;
  }
}

template <typename Sample>
std::string exposureName(const PLContextT<Sample>& ctx) {
  return ctx.perResolutionExposure ? RegValueName("ExposureTime", ctx.resolutionIndex)
                                   : std::string("ExposureTime");
}

uint32_t rotationDegrees(uint32_t flags) {
  if (flags & PLProcessFlags::kRotate90) return 90;
  if (flags & PLProcessFlags::kRotate180) return 180;
  if (flags & PLProcessFlags::kRotate270) return 270;
  return 0;
}

uint32_t rotationBit(uint32_t degrees) {
  switch (degrees) {
    case 90:
      return PLProcessFlags::kRotate90;
    case 180:
      return PLProcessFlags::kRotate180;
    case 270:
      return PLProcessFlags::kRotate270;
    default:
      return 0;
  }
}

uint32_t toneMappingValue(uint32_t flags) {
  if (flags & PLProcessFlags::kToneMap1) return 1;
  if (flags & PLProcessFlags::kToneMap2) return 2;
  return 0;
}

void putDword(const std::string& key, std::string_view name, int64_t value) {
  RegWriteDword(key, name, static_cast<uint32_t>(value));  // a value that fails is skipped
}

}  // namespace

template <typename Sample>
void PL_SetDefaults(const PLContextT<Sample>* source, PLSettings* target) {
  if (!source || !target) return;
  PLSettings s{};
  s.stepBits = kStepBitsDefault;
  s.vignetteMidpoint = kVignetteMidpointDefault;
  s.vignetteAmount = 0;
  s.aeTarget = 120;
  s.aeEnable = source->aeEnableDefault;
  s.expoTime = source->timeDefault;
  s.expoGain = source->gainDefault;
  if (source->wbTempTint) {
    s.wbTemp = kWbTempDefault;
    s.wbTint = kWbTintDefault;
  } else {
    SetRgbGains(s, kRgbGainUnity, kRgbGainUnity, kRgbGainUnity);
  }
  s.saturation = 128;
  s.mono = source->isColour ? 0 : 1;
  s.gamma = 100;
  s.aePolicy = source->aePolicyDefault;
  s.aeThreshold = 5;
  setDefaultWindows(s);
  s.lightFrequency = kLightSteady;
  if (source->hasCG) s.processFlags |= PLProcessFlags::cgBits(source->cgDefault);
  s.processFlags |= 0x100;
  for (int n = 0; n < 4; ++n) s.levelHigh[n] = 255;
  *target = s;
}

template <typename Sample>
void PL_SaveSettings(PLContextT<Sample>* ctx) {
  if (!ctx || ctx->regKey.empty()) return;
  std::lock_guard<platform::RecursiveLock> hold(*ctx->mtxSettings);
  PLSettings& s = ctx->settings;
  const std::string& key = ctx->regKey;
  putDword(key, "AutoExposureEnable", s.aeEnable);
  putDword(key, "AutoExposureTarget", s.aeTarget);
  putDword(key, exposureName(*ctx), s.expoTime);
  putDword(key, "ExposureAGain", s.expoGain);
  if (ctx->isColour) {
    if (ctx->wbTempTint) {
      putDword(key, "WhiteBalanceTemp", s.wbTemp);
      putDword(key, "WhiteBalanceTint", s.wbTint);
    } else {
      for (int c = 0; c < 3; ++c) putDword(key, kRgbGainNames[c], int64_t{ctx->wbGain[c]} - 128);
    }
    putDword(key, "Hue", s.hue);
    putDword(key, "Saturation", s.saturation);
    putDword(key, "Brightness", s.brightness);
  }
  putDword(key, "Contrast", s.contrast);
  putDword(key, "Gamma", s.gamma);
  if (ctx->isColour) putDword(key, "MonochromeEnable", s.mono);
  putDword(key, "MirrorDirection", s.mirror);
  putDword(key, "AePolicy", s.aePolicy);
  putDword(key, "AeThreshold", s.aeThreshold);
  const ImageRect* px[3] = {&ctx->aeRectPx, &ctx->awbRectPx, &ctx->abbRectPx};
  int32_t* fr[3] = {s.aeRect, s.awbRect, s.abbRect};
  for (int w = 0; w < 3; ++w) {
    const auto f = RectToFraction(*ctx, *px[w]);
    std::copy(f.begin(), f.end(), fr[w]);
    for (int e = 0; e < 4; ++e) putDword(key, kWindowNames[w][e], f[e]);
  }
  if (ctx->hasLightFrequency) putDword(key, "HZ50", s.lightFrequency);
  putDword(key, "Negative", s.processFlags & PLProcessFlags::kNegative);
  putDword(key, "Rotate", rotationDegrees(s.processFlags));
  putDword(key, "ToneMapping", toneMappingValue(s.processFlags));
  if (ctx->hasCG) putDword(key, "CG", PLProcessFlags::cgValue(s.processFlags));
  putDword(key, "USM", PLProcessFlags::usmValue(s.processFlags));
}

namespace {

// The colour part: white balance, hue, saturation, brightness and grey output.
template <typename Sample>
void loadColour(PLContextT<Sample>& ctx) {
  PLSettings& s = ctx.settings;
  const std::string& key = ctx.regKey;
  if (!ctx.isColour) {
    s.wbTemp = kWbTempDefault;
    s.wbTint = kWbTintDefault;
    s.hue = 0;
    s.saturation = 128;
    s.brightness = 0;
    s.mono = 1;
    const uint32_t offset = RegReadUDword(key, RegValueName("BBG", ctx.pixelFormat), 0, 0,
                                          BlackOffsetMax(ctx.pixelFormat));
    for (auto& o : s.blackOffset) o = static_cast<uint16_t>(offset);
    return;
  }
  if (ctx.wbTempTint) {
    s.wbTemp =
        static_cast<int32_t>(RegReadUDword(key, "WhiteBalanceTemp", kWbTempDefault, 2000, 15000));
    s.wbTint =
        static_cast<int32_t>(RegReadUDword(key, "WhiteBalanceTint", kWbTintDefault, 200, 2500));
  } else {
    for (int c = 0; c < 3; ++c)
      ctx.wbGain[c] =
          static_cast<uint32_t>(RegReadDword(key, kRgbGainNames[c], 0, -127, 127) + 128);
    SetRgbGains(s, ctx.wbGain[0], ctx.wbGain[1], ctx.wbGain[2]);
  }
  s.hue = RegReadDword(key, "Hue", 0, -180, 180);
  s.saturation = RegReadDword(key, "Saturation", 128, 0, 255);
  s.brightness = RegReadDword(key, "Brightness", 0, -64, 64);
  s.mono = static_cast<uint32_t>(RegReadDword(key, "MonochromeEnable", 0, 0, 1));
}

// Negative, conversion gain, rotation, tone mapping and sharpening in processFlags.
template <typename Sample>
void loadProcessFlags(PLContextT<Sample>& ctx) {
  using namespace PLProcessFlags;
  uint32_t& f = ctx.settings.processFlags;
  const std::string& key = ctx.regKey;
  const uint32_t negative = RegReadUDword(key, "Negative", f & kNegative, 0, 1);
  f = (f & ~kNegative) | (negative ? kNegative : 0u);
  if (ctx.hasCG) f = (f & ~kCgMask) | cgBits(RegReadUDword(key, "CG", ctx.cgDefault, 0, 2));
  f = (f & ~kRotateMask) | rotationBit(RegReadUDword(key, "Rotate", 0, 0, 0xFFFFFFFFu));
  const uint32_t tone = RegReadUDword(key, "ToneMapping", 2, 0, 2);
  f = (f & ~kToneMapMask) | (tone == 1 ? kToneMap1 : tone == 2 ? kToneMap2 : 0u);
  f = withUsm(f, RegReadUDword(key, "USM", usmValue(f), 0, kUsmMax));
}

}  // namespace

template <typename Sample>
void PL_LoadSettings(PLContextT<Sample>* ctx) {
  if (!ctx) return;
  std::lock_guard<platform::RecursiveLock> hold(*ctx->mtxSettings);
  PLSettings& s = ctx->settings;
  const std::string& key = ctx->regKey;
  s.aeEnable =
      static_cast<uint32_t>(RegReadDword(key, "AutoExposureEnable", ctx->aeEnableDefault, 0, 1));
  s.aeTarget = static_cast<uint8_t>(RegReadUDword(key, "AutoExposureTarget", 120, 16, 220));
  s.expoTime = RegReadUDword(key, exposureName(*ctx), ctx->timeDefault, ctx->timeMin, ctx->timeMax);
  ctx->curTime = s.expoTime;
  s.expoGain = static_cast<uint16_t>(
      RegReadUDword(key, "ExposureAGain", ctx->gainDefault, ctx->gainMin, ctx->gainMax));
  ctx->curGain = s.expoGain;
  loadColour(*ctx);
  s.contrast = RegReadDword(key, "Contrast", 0, -100, 100);
  s.gamma = RegReadDword(key, "Gamma", 100, 20, 180);
  s.mirror = RegReadUDword(key, "MirrorDirection", 0, 0, 5);
  s.aePolicy = static_cast<uint8_t>(RegReadUDword(key, "AePolicy", s.aePolicy, 0, kAePolicyLast));
  s.aeThreshold = static_cast<int32_t>(
      RegReadUDword(key, "AeThreshold", static_cast<uint32_t>(s.aeThreshold), 5, 25));
  int32_t* fr[3] = {s.aeRect, s.awbRect, s.abbRect};
  for (int w = 0; w < 3; ++w)
    for (int e = 0; e < 4; ++e)
      fr[w][e] =
          RegReadFraction(key, kWindowNames[w][e], e < 2 ? kWindowLowDefault : kWindowHighDefault);
  if (ctx->hasLightFrequency)
    s.lightFrequency = RegReadUDword(key, "HZ50", s.lightFrequency, 0, kLightSteady);
  loadProcessFlags(*ctx);
  const uint32_t aeMaxTime = RegReadUDword(key, "AeMaxTime", 350000, 10000, 5000000);
  if (aeMaxTime != 350000) PL_SaveAeMax(ctx, aeMaxTime, 0);
  const uint32_t aeMaxGain = RegReadUDword(key, "AeMaxGain", 500, 100, ctx->gainMax);
  if (aeMaxGain != 500)
    PL_SaveAeMax(ctx, 0, static_cast<uint16_t>(std::min<uint32_t>(aeMaxGain, 0xFFFF)));
  PL_ApplySettings(ctx, false);
}

template <typename Sample>
void PL_SaveAeMax(PLContextT<Sample>* ctx, uint32_t timeUs, uint16_t gain) {
  if (!ctx) return;
  std::lock_guard<platform::RecursiveLock> hold(*ctx->mtxSettings);
  if (timeUs) {
    putDword(ctx->regKey, "AeMaxTime", timeUs);
    const uint32_t t = std::min(timeUs, ctx->timeMax);
    if (t > ctx->timeMin) ctx->aeTimeMax = t;
  }
  if (gain) {
    putDword(ctx->regKey, "AeMaxGain", gain);
    const uint16_t g = std::min(gain, ctx->gainMax);
    if (g > ctx->gainMin) ctx->aeGainMax = g;
  }
}

#define ZX_PL_SETTINGS_INSTANTIATE(S)                                 \
  template void PL_SetDefaults<S>(const PLContextT<S>*, PLSettings*); \
  template void PL_SaveSettings<S>(PLContextT<S>*);                   \
  template void PL_LoadSettings<S>(PLContextT<S>*);                   \
  template void PL_SaveAeMax<S>(PLContextT<S>*, uint32_t, uint16_t);
ZX_PL_SETTINGS_INSTANTIATE(uint8_t)
ZX_PL_SETTINGS_INSTANTIATE(uint16_t)
