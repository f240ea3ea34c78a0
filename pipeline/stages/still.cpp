// Still step: the 8-bit path of raw steps, demosaic, colour steps, fit to the output, then
// orientation.
#include <algorithm>
#include <exception>
#include <mutex>
#include <vector>

#include "pipeline/stages/still.h"

#include "kernels/colour_steps.h"
#include "kernels/output.h"
#include "kernels/raw_steps.h"
#include "pipeline/pl_vignette.h"
#include "pipeline/stages/demosaic.h"
#include "pipeline/stages/orientation.h"
#include "pipeline/stages/output_table.h"
#include "pipeline/stages/sharpen.h"
#include "pipeline/stages/tone_choice.h"

namespace stages {
namespace {

using kernels::Bgr;
using kernels::ColourAdjust;
using kernels::LevelTables;
using kernels::Rgb;

bool quarterTurnSet(uint32_t flags) {
  namespace F = PLProcessFlags;
  return (flags & F::kRotate90) || ((flags & F::kRotate270) && !(flags & F::kRotate180));
}

// What the still reads of the settings and tables, taken once under the settings lock.
struct StillSnapshot {
  PLSettings s{};
  PLTableSets<uint8_t> t;
  uint8_t matrixOn = 0;
  kernels::ToneLut<uint8_t> tone;  // points into t
  PLHostCallbacks cb{};
  SharpenParams sharpen;
  uint32_t demosaic = 0;
};

void takeSnapshot(PLContext& c, StillSnapshot& snap) {
  std::unique_lock<platform::RecursiveLock> hold;
  if (c.mtxSettings) hold = std::unique_lock<platform::RecursiveLock>(*c.mtxSettings);
  snap.s = c.settings;
  snap.t = c.tables;
  snap.matrixOn = c.colourMatrixOn;
  snap.tone = SelectToneLut(c, snap.t, 8);
  snap.cb = c.callbacks;
  snap.sharpen = SharpenParamsFrom(c.settings.processFlags, c.usmRadius, c.usmThreshold);
  snap.demosaic = c.demosaicStill;
}

// Steps 2-4: black level, raw white balance and the camera's raw table, on the raw frame.
void rawSteps(PLContext& c, const StillSnapshot& snap, uint8_t* raw, int32_t w, int32_t h) {
  const PLTableSets<uint8_t>& t = snap.t;
  const uint16_t* off = snap.s.blackOffset;
  if ((off[0] || off[1] || off[2]) && !c.hwBlackLevel)
    kernels::SubtractBlackLevel(uint32_t(c.bayer), off, w, h, raw);
  if (c.isColour && !c.hasIsp && t.wb && t.wb->active && t.wb->lut[0].size() >= 256 &&
      t.wb->lut[1].size() >= 256 && t.wb->lut[2].size() >= 256)
    kernels::ApplyRawWb(uint32_t(c.bayer), t.wb->lut[0].data(), t.wb->lut[1].data(),
                        t.wb->lut[2].data(), w, h, raw);
  if (!c.rawLut.empty() && (snap.s.stepBits & 4u)) {
    const size_t last = c.rawLut.size() - 1;
    for (size_t i = 0, n = size_t(w) * size_t(h); i < n; ++i)
      raw[i] = c.rawLut[std::min<size_t>(raw[i], last)];
  }
}

// Vignette tables for this still's size, made and dropped here; skipped when memory runs out.
void stillVignette(PLContext& c, const PLSettings& s, uint8_t* img, int32_t w, int32_t h) {
  std::shared_ptr<const VignetteTableSet> v;
  try {
    v = BuildVignetteTables(uint32_t(w), uint32_t(h), s.vignetteAmount, s.vignetteMidpoint,
                            nullptr);
  } catch (const std::exception&) {
    return;
  }
  const auto apply = c.byteOrder ? &kernels::ApplyVignetteBgr : &kernels::ApplyVignetteRgb;
  apply(c.samplesPerPixel, img, w, h, v->radius->data(), v->gain.data(), uint32_t(v->gain.size()),
        8);
}

template <typename Order>
void colourSteps(PLContext& c, const StillSnapshot& snap, uint8_t* img, int32_t w, int32_t h) {
  const PLSettings& s = snap.s;
  const PLTableSets<uint8_t>& t = snap.t;
  const bool bgr = c.byteOrder != 0;
  if (c.isColour) {
    ColourAdjust<uint8_t> a;
    a.mono = s.mono != 0, a.hwColour = c.hasIsp, a.swTone = c.hwToneBypass,
    a.matrixOn = snap.matrixOn;
    a.lumaR = c.lumaR.data(), a.lumaG = c.lumaG.data(), a.lumaB = c.lumaB.data();
    a.hueSat = t.colour ? t.colour->hueSatMatrix.data() : nullptr;
    a.coef = t.colour ? t.colour->coef.data() : nullptr;
    a.tone = t.tone && t.tone->lut.size() >= 256 ? t.tone->lut.data() : nullptr;
    a.contrast = s.contrast, a.gamma = s.gamma, a.hue = s.hue, a.saturation = s.saturation;
    a.brightness = s.brightness, a.bits = 8, a.p = c.samplesPerPixel;
    (bgr ? kernels::AdjustColorBgr : kernels::AdjustColorRgb)(a, img, w, h);
  } else if ((s.contrast || s.gamma != 100 || s.brightness) && t.tone &&
             t.tone->lut.size() >= 256) {
    kernels::ApplyMonoLut(t.tone->lut.data(), w, h, img, c.samplesPerPixel);
  }
  const bool levels = std::any_of(s.levelLow, s.levelLow + 4, [](uint8_t v) { return v > 0; }) ||
                      std::any_of(s.levelHigh, s.levelHigh + 4, [](uint8_t v) { return v < 255; });
  if (levels && t.level) {
    // Level tables: 0 gray, then one per memory position of the colour samples.
    const auto& l = t.level->lut;
    const LevelTables<uint8_t> lt{uint8_t(s.mono != 0), l[0].data(),
                                  c.lumaR.data(),       c.lumaG.data(),
                                  c.lumaB.data(),       l[1 + Order::kRed].data(),
                                  l[2].data(),          l[1 + Order::kBlue].data(),
                                  c.samplesPerPixel};
    (bgr ? kernels::ApplyLevelsBgr : kernels::ApplyLevelsRgb)(lt, img, w, h);
  }
  if (c.hasToneMapping && !c.hasIsp) kernels::ApplyToneLut(snap.tone, w, h, img, c.samplesPerPixel);
  const OutputTableStep<uint8_t> output((s.processFlags & PLProcessFlags::kNegative) != 0, 8,
                                        t.output ? &t.output->lut : nullptr);
  output.apply(img, w, h, c.samplesPerPixel);
}

}  // namespace

int32_t PL_ProcessStill8(PLContext* ctx, uint8_t* raw, uint8_t* out, size_t outBytes,
                         uint32_t outBits, int32_t outW, int32_t outH, int32_t rawW, int32_t rawH) {
  // 48 bits would hand 8-bit samples to the 16-bit turns; this state has no 16-bit still.
  if (!ctx || !raw || !out || outBits != 24 || outW < 1 || outH < 1 || rawW < 1 || rawH < 1)
    return 0;
  PLContext& c = *ctx;
  const uint8_t p = c.samplesPerPixel;
  if (p < 1 || p > 4) return 0;
  const size_t outFrame = kernels::rowStride<uint8_t>(p, outW) * size_t(outH);
  const size_t rawFrame = kernels::rowStride<uint8_t>(p, rawW) * size_t(rawH);
  const bool same = outW == rawW && outH == rawH;
  StillSnapshot snap;
  takeSnapshot(c, snap);
  const uint32_t flags = snap.s.processFlags;
  if (outBytes <
      (quarterTurnSet(flags) ? kernels::turnedFrameBytes<uint8_t>(outW, outH, p) : outFrame))
    return 0;
  std::vector<uint8_t> procBuf;
  if (!same) {
    try {
      procBuf.resize(std::max(outFrame, rawFrame));
    } catch (const std::exception&) {
      return 0;
    }
  }
  uint8_t* proc = same ? out : procBuf.data();
  rawSteps(c, snap, raw, rawW, rawH);
  if (c.isColour)
    Demosaic(&c, snap.cb, uint32_t(c.bayer), c.colourSites.site.data(), snap.demosaic, rawW, rawH,
             raw, proc);
  else
    ConvertMono(&c, snap.cb, rawW, rawH, raw, proc);
  if (snap.s.vignetteEnable) stillVignette(c, snap.s, proc, rawW, rawH);
  if (c.byteOrder)
    colourSteps<Bgr>(c, snap, proc, rawW, rawH);
  else
    colourSteps<Rgb>(c, snap, proc, rawW, rawH);
  SharpenFrame(&c, proc, rawW, rawH, snap.sharpen);
  if (!same) kernels::FitToOutput(outW, outH, rawW, rawH, out, outBytes, proc, procBuf.size(), p);
  OrientFrame(&c, snap.s.mirror, flags, out, outBytes, outW, outH, p);
  return 1;
}

}  // namespace stages
