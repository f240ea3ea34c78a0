// Creation and destruction of a pipeline state, and the checks on a settings block handed in.
#include "pipeline/pl_state.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "base/geometry.h"
#include "base/trace.h"
#include "pipeline/store/registry.h"
#include "pipeline/store/settings_io.h"
#include "pipeline/pl_tables.h"
#include "pipeline/pl_windows.h"
#include "pipeline/algorithms/tone_curve.h"

namespace {

bool sizeAcceptable(uint32_t v) {
  return v >= 1 && v <= kMaxFrameDimension;
}

bool paramsAcceptable(const PLInitParams* p) {
  return p && sizeAcceptable(p->frameWidth) && sizeAcceptable(p->frameHeight) &&
         sizeAcceptable(p->procWidth) && sizeAcceptable(p->procHeight) &&
         p->maxWidth <= kMaxFrameDimension && p->maxHeight <= kMaxFrameDimension &&
         p->pixelFormat < kPixelFormatCount;
}

template <typename Sample>
void copyConfiguration(PLContextT<Sample>& c, const PLInitParams& p) {
  c.pixelFormat = p.pixelFormat;
  c.bitDepthCaps = p.bitDepthCaps;
  c.sensorBitDepth = SensorBitDepth(p.bitDepthCaps);
  c.auxBitDepth = c.sensorBitDepth;  // the processor sums before it narrows to the output depth
  c.bitDepth = sizeof(Sample) == 1 ? 8 : c.sensorBitDepth;
  c.hasIsp = p.hasIsp, c.hwBlackLevel = p.hwBlackLevel, c.hwToneBypass = p.hwToneBypass;
  c.isColour = p.isColour, c.hasLightFrequency = p.hasLightFrequency, c.wbTempTint = p.wbTempTint;
  c.aeEnableDefault = p.aeEnableDefault, c.hasToneMapping = p.hasToneMapping;
  c.workersAllowed = p.workersAllowed, c.rowOrder = p.rowOrder, c.byteOrder = p.byteOrder;
  c.hasCG = p.hasCG, c.perResolutionExposure = p.perResolutionExposure;
  c.cgDefault = p.cgDefault, c.aePolicyDefault = p.aePolicyDefault, c.flag40 = p.flag40;
  c.outputFormat = p.outputFormat;
  c.bayer = p.bayer & 3;
  c.samplesPerPixel = SamplesPerPixel(p.outputFormat);
  c.colourSites = BuildColourSites(p.byteOrder != 0);
  c.regKey = RegKeyFromWide(p.regKey);
  c.resolutionIndex = p.resolutionIndex;
  c.frameWidth = p.frameWidth, c.frameHeight = p.frameHeight;
  c.procWidth = p.procWidth, c.procHeight = p.procHeight;
  c.maxWidth = p.maxWidth, c.maxHeight = p.maxHeight;
  c.gainMin = p.gainMin, c.gainMax = p.gainMax, c.gainDefault = p.gainDefault;
  c.aeGainMin = p.gainMin, c.aeGainMax = p.gainMax, c.curGain = p.gainDefault;
  c.timeMin = p.timeMin, c.timeMax = p.timeMax, c.timeDefault = p.timeDefault;
  c.aeTimeMin = p.timeMin, c.aeTimeMax = p.timeMax, c.curTime = p.timeDefault;
}

template <typename Sample>
void fillFixedTables(PLContextT<Sample>& c) {
  constexpr uint32_t n = PLContextT<Sample>::kTableEntries;
  c.lumaR.resize(n), c.lumaG.resize(n), c.lumaB.resize(n);
  for (uint32_t v = 0; v < n; ++v) {
    c.lumaR[v] = v * 0.299;
    c.lumaG[v] = v * 0.587;
    c.lumaB[v] = v * 0.114;
  }
  for (int i = 0; i < 256; ++i) c.yTable[i] = static_cast<int32_t>((i - 16) * 1.164);
}

// Bytes of the scratch frame by each variant's rule; 0 when none is needed.
template <typename Sample>
uint64_t scratchBytes(const PLContextT<Sample>& c) {
  const bool sameSize = c.frameWidth == c.procWidth && c.frameHeight == c.procHeight;
  const bool needed = c.isColour || c.outputFormat != kOutputGrey16;
  const uint64_t spp = c.samplesPerPixel;
  if constexpr (sizeof(Sample) == 1) {
    if (sameSize || !needed) return 0;
    return std::max(DibRowBytes(8 * spp, c.procWidth) * c.procHeight,
                    DibRowBytes(8 * spp, c.frameWidth) * c.frameHeight);
  } else {
    // A grey camera's 16-bit grey is processed in the output unless it has to be fitted.
    if ((sameSize && c.outputFormat == kOutputRgb16) || (sameSize && !needed)) return 0;
    return std::max(DibRowBytes(16 * spp, c.procWidth) * c.procHeight,
                    DibRowBytes(16 * spp, c.frameWidth) * c.frameHeight);
  }
}

template <typename Sample>
PLContextT<Sample>* init(const PLInitParams* params) {
  ZX_TRACE("%s", sizeof(Sample) == 1 ? "PL_Init" : "PL_Init16");
  if (!paramsAcceptable(params)) return nullptr;
  try {
    auto c = std::make_unique<PLContextT<Sample>>();
    c->mtxSettings = std::make_unique<platform::RecursiveLock>();
    c->mtxStats = std::make_unique<platform::RecursiveLock>();
    c->mtxFfc = std::make_unique<platform::RecursiveLock>();
    c->mtxDfc = std::make_unique<platform::RecursiveLock>();
    copyConfiguration(*c, *params);
    c->colourMatrix = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    c->colourRowIsIdentity = {1, 1, 1};
    c->aeRectPx = c->awbRectPx = c->abbRectPx = CentreFifth(c->procWidth, c->procHeight);
    c->wbGain = c->wbGainBase = {256, 256, 256};
    c->usmRadius = 2;
    c->usmThreshold = 0;
    PL_SetDefaults(c.get(), &c->settings);
    fillFixedTables(*c);
    c->scratch.resize(scratchBytes(*c));
    if (c->hasToneMapping) {
      const double* t = params->toneParams;
      ToneMapLut<uint8_t>(t[0], t[1], t[2], 0, c->filmicLut8);
      if (c->sensorBitDepth > 8) {
        c->filmicLut16.resize(size_t{1} << c->sensorBitDepth);
        ToneMapLut<uint16_t>(t[0], t[1], t[2], c->sensorBitDepth, c->filmicLut16);
      }
    }
    if (params->settings) {
      CopySettingsBlock(*c, *params->settings);
      PL_ApplySettings(c.get(), true);
    } else {
      PL_LoadSettings(c.get());
    }
    return c.release();
  } catch (const std::bad_alloc&) {
    ZX_TRACE_ERROR("%s: out of memory", "PL_Init");
    return nullptr;
  }
}

template <typename Sample>
void fini(PLContextT<Sample>* ctx, bool save) {
  ZX_TRACE("%s", sizeof(Sample) == 1 ? "PL_Fini" : "PL_Fini16");
  if (!ctx) return;
  PL_StopWorkers(ctx->workers);
  if (save) PL_SaveSettings(ctx);
  delete ctx;
}

void resetRect(int32_t rect[4]) {
  rect[0] = rect[1] = kWindowLowDefault;
  rect[2] = rect[3] = kWindowHighDefault;
}

double finiteOr(double v, double fallback) {
  return std::isnan(v) ? fallback : v;
}

}  // namespace

PLContext* PL_Init(const PLInitParams* params) {
  return init<uint8_t>(params);
}
PLContext16* PL_Init16(const PLInitParams* params) {
  return init<uint16_t>(params);
}
void PL_Fini(PLContext* ctx) {
  fini(ctx, true);
}
void PL_Fini16(PLContext16* ctx) {
  fini(ctx, true);
}
void PL_FiniSaved(PLContext* ctx) {
  fini(ctx, false);
}
void PL_FiniSaved16(PLContext16* ctx) {
  fini(ctx, false);
}

template <typename Sample>
void ClampSettingsBlock(const PLContextT<Sample>& ctx, PLSettings& b) {
  b.aeTarget = std::clamp<uint8_t>(b.aeTarget, 16, 220);
  if (ctx.isColour) {
    b.hue = std::clamp(b.hue, -180, 180);
    b.saturation = std::clamp(b.saturation, 0, 255);
    b.brightness = std::clamp(b.brightness, -64, 64);
    if (ctx.wbTempTint) {
      b.wbTemp = std::clamp(b.wbTemp, 2000, 15000);
      b.wbTint = std::clamp(b.wbTint, 200, 2500);
    }
  } else {
    b.hue = 0, b.saturation = 128, b.brightness = 0;
    b.wbTemp = kWbTempDefault, b.wbTint = kWbTintDefault, b.mono = 1;
  }
  b.contrast = std::clamp(b.contrast, -100, 100);
  b.gamma = std::clamp(b.gamma, 20, 180);
  b.vignetteAmount = std::clamp(finiteOr(b.vignetteAmount, 0.0), -100.0, 100.0);
  b.vignetteMidpoint =
      std::clamp(finiteOr(b.vignetteMidpoint, kVignetteMidpointDefault), 0.0, 0.25);
  if (!(b.abbRect[0] < b.abbRect[2] && b.abbRect[1] < b.abbRect[3])) resetRect(b.abbRect);
  for (int n = 0; n < 4; ++n)
    if (b.levelLow[n] >= b.levelHigh[n]) b.levelLow[n] = 0, b.levelHigh[n] = 255;
  // Ranges the model and later steps rely on: exposure within the model, indices in range.
  b.expoTime = std::max(ctx.timeMin, std::min(b.expoTime, ctx.timeMax));
  b.expoGain = std::max(ctx.gainMin, std::min(b.expoGain, ctx.gainMax));
  b.mirror = std::min<uint32_t>(b.mirror, 5);
  b.processFlags = PLProcessFlags::withUsm(
      b.processFlags, std::min(PLProcessFlags::usmValue(b.processFlags), PLProcessFlags::kUsmMax));
  b.lightFrequency = std::min<uint32_t>(b.lightFrequency, kLightSteady);
  b.aePolicy = std::min<uint8_t>(b.aePolicy, kAePolicyLast);
  b.aeThreshold = std::clamp(b.aeThreshold, 5, 25);
}

template <typename Sample>
void CopySettingsBlock(PLContextT<Sample>& ctx, const PLSettings& block) {
  PLSettings b = block;
  ClampSettingsBlock(ctx, b);
  std::lock_guard<platform::RecursiveLock> hold(*ctx.mtxSettings);
  b.stepBits = static_cast<uint8_t>((b.stepBits & ~kStepBitsWorkers) |
                                    (ctx.settings.stepBits & kStepBitsWorkers));
  ctx.settings = b;
  ctx.curTime = b.expoTime;
  ctx.curGain = b.expoGain;
  ctx.aeStatus = 0;
  ctx.aeCallCount = 0;
}

template void ClampSettingsBlock<uint8_t>(const PLContext&, PLSettings&);
template void ClampSettingsBlock<uint16_t>(const PLContext16&, PLSettings&);
template void CopySettingsBlock<uint8_t>(PLContext&, const PLSettings&);
template void CopySettingsBlock<uint16_t>(PLContext16&, const PLSettings&);
