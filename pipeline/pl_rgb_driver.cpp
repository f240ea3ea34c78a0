// The RGB-input frame driver: per-colour calibration, black level and balance on the converted
// image, then the colour steps on the calling thread and the output.
#include "pipeline/pl_rgb_driver.h"

#include <algorithm>
#include <cstring>

#include "kernels/colour_planes.h"
#include "kernels/output.h"
#include "pipeline/algorithms/black_balance.h"
#include "pipeline/algorithms/dark_field.h"
#include "pipeline/algorithms/flat_field.h"
#include "pipeline/algorithms/white_balance.h"
#include "pipeline/pl_driver_steps.h"
#include "pipeline/stages/layout.h"

namespace {

using namespace drivers;
using Tables = std::array<std::array<uint8_t, 256>, 3>;

kernels::ColourPlanes<uint8_t> planesOf(const Tables& t) {
  return {t[0].data(), t[1].data(), t[2].data()};
}
// The planes when they hold the running frame; planes of another size belong to another region
// or binning and would put each value on the wrong pixel.
template <typename T>
kernels::BytePlanes<T> planesOf(const std::array<std::vector<T>, 3>& p, size_t n,
                                const char* what) {
  if (p[0].size() != n || p[1].size() != n || p[2].size() != n) {
    ZX_TRACE_ERROR("PL_ProcessRgb8: %s planes do not fit the frame, skipped", what);
    return {nullptr, nullptr, nullptr};
  }
  return {p[0].data(), p[1].data(), p[2].data()};
}

// Flat-field and dark-field collection and correction, each under its own lock.
void calibration(PLContext& c, const kernels::Layout& l, uint8_t* img, const Running& r,
                 const PLHostCallbacks& cb) {
  const size_t n = size_t(r.pw) * r.ph;
  const int32_t w = int32_t(r.pw), h = int32_t(r.ph);
  bool accumulated = false;
  {
    Lock hold(*c.mtxFfc);
    if (c.ffcRequest) {
      NoteStep(RawStep::FfcAccumulate);
      (c.byteOrder ? AccumulateFfcBmpBgr : AccumulateFfcBmpRgb)(c, img, r.pw, r.ph);
      accumulated = true;
    }
    if (c.ffcEnable && c.ffcValid) {
      if (const auto gains = planesOf(c.ffcGainPlanes, n, "flat-field"); gains[0]) {
        NoteStep(RawStep::FfcApply);
        kernels::ApplyGainPlanes(l, w, h, img, gains);
      }
    }
  }
  if (accumulated && cb.onFfcFrame) cb.onFfcFrame(cb.onFfcFrameContext);
  Lock hold(*c.mtxDfc);
  if (c.dfcRequest) {
    NoteStep(RawStep::DfcAccumulate);
    (c.byteOrder ? AccumulateDfcBmpBgr : AccumulateDfcBmpRgb)(c, img, r.pw, r.ph);
  }
  if (c.dfcEnable && c.dfcValid) {
    if (const auto dark = planesOf(c.darkPlanes, n, "dark-field"); dark[0]) {
      NoteStep(RawStep::DfcApply);
      kernels::SubtractDarkPlanes(l, w, h, img, dark);
      stages::ApplyDefectListBmp(w, h, img, &c);
    }
  }
}

// No flat- or dark-field step and no white-balance measurement is due, so nothing has to run
// between the conversion of a packed frame and its colour tables.
bool calibrationIdle(PLContext& c) {
  {
    Lock hold(*c.mtxSettings);
    if (c.isColour && c.awbRequest) return false;
  }
  bool due = false;
  {
    Lock hold(*c.mtxFfc);
    due = c.ffcRequest || (c.ffcEnable && c.ffcValid);
  }
  Lock hold(*c.mtxDfc);
  return !due && !c.dfcRequest && !(c.dfcEnable && c.dfcValid);
}

// Black balance and level and white balance, per colour byte: the one-push requests, then the
// tables composed for one pass (false: every table is the identity). img is the converted image,
// or null while it is not converted yet: white balance is measured on it, so a request then waits
// for the next frame.
bool balanceTables(PLContext& c, const FrameJob<uint8_t>& job, const uint8_t* img,
                   const void* source, Tables& t) {
  const PLSettings& s = job.settings;
  if (takeRequest(c, &PLContext::abbRequest)) {
    NoteStep(RawStep::BlackBalance);
    const BlackOffsets o = BlackBalanceInitBmp(c, source);
    // Read again: the request may have come with its hook after the frame's snapshot.
    const PLHostCallbacks now = SnapshotCallbacks(c);
    if (now.onBlackBalance) now.onBlackBalance(o.data(), now.onBlackBalanceContext);
  }
  bool any = false;
  for (auto& table : t)
    for (size_t v = 0; v < 256; ++v) table[v] = uint8_t(v);
  if (!c.hwBlackLevel && (s.blackOffset[0] || s.blackOffset[1] || s.blackOffset[2])) {
    NoteStep(RawStep::BlackLevel);
    for (size_t k = 0; k < 3; ++k) {
      const uint8_t b = uint8_t(s.blackOffset[k] & 0xFF);
      for (size_t v = 0; v < 256; ++v) t[k][v] = v > b ? uint8_t(v - b) : 0;
    }
    any = true;
  }
  if (c.isColour) {
    const auto& wb = job.tables.wb;
    if (img && takeRequest(c, &PLContext::awbRequest)) {
      // The measured frame is left as it is; the next one gets the new tables.
      NoteStep(RawStep::WhiteBalance);
      WhiteBalanceInitBmp(c, img, source);
      NotifyWhiteBalance(c);
    } else if (!c.hasIsp && wb && wb->active && wb->lut[0].size() >= 256 &&
               wb->lut[1].size() >= 256 && wb->lut[2].size() >= 256) {
      NoteStep(RawStep::RawWb);
      for (size_t k = 0; k < 3; ++k)
        for (auto& v : t[k]) v = wb->lut[k][v];
      any = true;
    }
  }
  // No camera raw table here: it is indexed by raw sensor samples, and these bytes are colours
  // made from luma and chroma.
  return any;
}

// Colour adjustment, statistics, histogram, then levels and tone: the histogram shows the image
// before levels, as on the grey path. Then sharpening and the AE mark.
void colourSteps(PLContext& c, const FrameJob<uint8_t>& job, const FrameHooks& hooks, uint8_t* work,
                 const Running& r) {
  NoteStep(RawStep::AdjustColour);
  StatsCounters total{};
  FrameHooks rest = hooks;
  if (!hooks.cb.histogramCallback) {
    RunStripe(job, work, int32_t(r.ph), 0, total);
    if (job.stats) deliverStats(c, job, hooks, total, r);
  } else {
    FrameJob<uint8_t> head = job;
    head.levels = 0, head.hasToneMapping = 0, head.output = {};
    RunStripe(head, work, int32_t(r.ph), 0, total);
    if (job.stats) deliverStats(c, job, hooks, total, r);
    NoteStep(RawStep::Histogram);
    histogram(c, work, r.pw, r.ph, job.mono, hooks.cb);
    RunToneSteps(job, work, int32_t(r.ph));
    rest.cb.histogramCallback = nullptr;  // taken above
  }
  finishSteps(c, job, rest, work, r);
}

// A packed frame to convert into the image first, at the running frame size.
struct Packed {
  const uint8_t* frame;
  bool alt;
  int32_t w, h;
};

void processRgb(PLContext& c, uint8_t* image, const SensorRect* roi, uint8_t binning,
                const void* source, const Packed* packed) {
  const FrameGeometry g{c.frameWidth, c.frameHeight, c.procWidth, c.procHeight};
  Running r;
  FrameJob<uint8_t> job;
  FrameHooks hooks;
  const uint8_t p = c.samplesPerPixel;
  const kernels::Layout l = stages::LayoutOf(c);
  auto convert = [&](kernels::ColourPlanes<uint8_t> t) {
    if (packed)
      kernels::Yuv422ToRgb8Tables(l, packed->alt, packed->frame, image, packed->w, packed->h, t);
  };
  if (p < 3 || !beginFrame(c, g, roi, binning ? binning : 1u, 0, r, job, hooks)) {
    convert({});
    return;
  }
  const size_t workBytes = kernels::rowStride<uint8_t>(p, int32_t(r.pw)) * r.ph;
  const bool sameSize = r.fw == r.pw && r.fh == r.ph;
  Tables t;
  uint8_t* work = image;
  if (packed && sameSize && calibrationIdle(c)) {
    // The tables ride on the conversion: one pass over the image fewer.
    convert(balanceTables(c, job, nullptr, source, t) ? planesOf(t)
                                                      : kernels::ColourPlanes<uint8_t>{});
  } else {
    convert({});
    // The image holds the processing-size frame; a resize works on a copy in the scratch frame.
    if (!sameSize) {
      if (c.scratch.size() < workBytes) {
        c.roi = nullptr;
        return;
      }
      work = c.scratch.data();
      std::memcpy(work, image, workBytes);
    }
    calibration(c, l, work, r, hooks.cb);
    if (balanceTables(c, job, work, source, t))
      kernels::ApplyColourTables(l, int32_t(r.pw), int32_t(r.ph), work, planesOf(t));
  }
  colourSteps(c, job, hooks, work, r);
  deliver8(c, job.settings, work, image, r);
  c.roi = nullptr;
}

}  // namespace

void PL_ProcessRgb8(PLContext* ctx, uint8_t* image, const SensorRect* roi, uint8_t binning,
                    const void* source) {
  if (ctx && image) processRgb(*ctx, image, roi, binning, source, nullptr);
}

void PL_ProcessPacked8(PLContext* ctx, const uint8_t* packed, bool alt, int32_t w, int32_t h,
                       uint8_t* image, const SensorRect* roi, uint8_t binning) {
  if (!ctx || !packed || !image || w < 1 || h < 1) return;
  const Packed frame{packed, alt, w, h};
  processRgb(*ctx, image, roi, binning, packed, &frame);
}
