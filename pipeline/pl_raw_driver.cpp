// The raw colour frame drivers: calibration, balance, demosaic, striped colour steps, output.
#include "pipeline/pl_raw_driver.h"

#include "pipeline/pl_driver_steps.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "base/trace.h"
#include "kernels/calibration.h"
#include "kernels/demosaic.h"
#include "kernels/geometry.h"
#include "kernels/output.h"
#include "kernels/raw_steps.h"
#include "pipeline/algorithms/black_balance.h"
#include "pipeline/algorithms/white_balance.h"
#include "pipeline/pl_frame_job.h"
#include "pipeline/pl_init_params.h"
#include "pipeline/pl_worker_pool.h"
#include "pipeline/stages/defect_repair.h"
#include "pipeline/stages/demosaic.h"
#include "pipeline/stages/layout.h"
#include "pipeline/stages/orientation.h"
#include "pipeline/stages/statistics.h"

namespace {

RawStepObserver gObserver = nullptr;
void* gObserverContext = nullptr;

}  // namespace

void drivers::NoteStep(RawStep step) {
  if (gObserver) gObserver(step, gObserverContext);
}

namespace {

using namespace drivers;

void blackLevel(uint32_t b, const uint16_t* off, uint32_t w, uint32_t h, uint8_t* raw) {
  kernels::SubtractBlackLevel(b, off, int32_t(w), int32_t(h), raw);
}
void blackLevel(uint32_t b, const uint16_t* off, uint32_t w, uint32_t h, uint16_t* raw) {
  kernels::SubtractBlackLevel16(b, off, int32_t(w), int32_t(h), raw);
}
// With rawLut (8 bits), the raw table is folded into the balance tables so the frame is walked
// once.
bool foldsRawLut(uint32_t b, const std::vector<uint8_t>* rawLut) {
  return rawLut && b <= 3;
}
bool foldsRawLut(uint32_t, const std::vector<uint16_t>*) {
  return false;
}
void rawWb(uint32_t b, const WbTableSet<uint8_t>& t, uint32_t w, uint32_t h, uint8_t* raw,
           const std::vector<uint8_t>* rawLut) {
  if (!foldsRawLut(b, rawLut)) {
    kernels::ApplyRawWb(b, t.lut[0].data(), t.lut[1].data(), t.lut[2].data(), int32_t(w),
                        int32_t(h), raw);
    return;
  }
  uint8_t folded[3][256];
  const size_t last = rawLut->size() - 1;
  for (int c = 0; c < 3; ++c)
    for (size_t v = 0; v < 256; ++v) folded[c][v] = (*rawLut)[std::min<size_t>(t.lut[c][v], last)];
  kernels::ApplyRawWb(b, folded[0], folded[1], folded[2], int32_t(w), int32_t(h), raw);
}
void rawWb(uint32_t b, const WbTableSet<uint16_t>& t, uint32_t w, uint32_t h, uint16_t* raw,
           const std::vector<uint16_t>*) {
  kernels::ApplyRawWb16(b, t.lut[0].data(), t.lut[1].data(), t.lut[2].data(), int32_t(w),
                        int32_t(h), raw);
}
void demosaic(PLContext& c, const PLHostCallbacks& cb, uint32_t b, uint32_t m, uint32_t w,
              uint32_t h, const uint8_t* raw, uint8_t* out) {
  stages::Demosaic(&c, cb, b, c.colourSites.site.data(), m, int32_t(w), int32_t(h), raw, out);
}
void demosaic(PLContext16& c, const PLHostCallbacks& cb, uint32_t b, uint32_t m, uint32_t w,
              uint32_t h, const uint16_t* raw, uint16_t* out) {
  stages::Demosaic16(&c, cb, b, c.colourSites.site.data(), m, int32_t(w), int32_t(h), raw, out);
}
// Runs body(band, rows) over the raw frame in bands of even rows, with the workers when the frame
// uses them: every band starts on the frame's Bayer phase.
template <typename Sample, typename Body>
void inRawBands(PLContextT<Sample>& c, const FrameJob<Sample>& job, const Running& r, Sample* raw,
                const Body& body) {
  struct Bands {
    const Body& body;
    Sample* raw;
    uint32_t width;
  } const bands{body, raw, r.pw};
  StatsCounters unused;
  RunBands(
      c.workers, job.settings.stepBits, int32_t(r.ph), 2,
      [](const void* arg, int32_t first, int32_t rows, StatsCounters&) {
        const auto& b = *static_cast<const Bands*>(arg);
        b.body(b.raw + size_t(first) * b.width, uint32_t(rows));
      },
      &bands, unused);
}

// Leaves the demosaic to the stripes, each on its own rows, unless the host's hook or AHD (whose
// refinement sweeps the whole frame) takes the whole frame at once.
template <typename Sample>
bool stripeDemosaic(const PLContextT<Sample>& c, const FrameHooks& hooks, bool still,
                    const Sample* raw, const Running& r, FrameJob<Sample>& job) {
  const uint32_t method = hooks.demosaic(still);
  if (hooks.cb.demosaicCallback || method == stages::kMethodAhd) return false;
  job.demosaic = {raw,     stages::LayoutOf(c),       method,
                  r.bayer, c.colourSites.site.data(), int32_t(r.ph)};
  return true;
}

// Steps 4 to 11 on the raw frame at the running size.
template <typename Sample>
void rawDomain(PLContextT<Sample>& c, const FrameJob<Sample>& job, const PLHostCallbacks& cb,
               Sample* raw, const Running& r) {
  flatField(c, raw, r, cb, c.byteOrder ? &FfcBuildGainsBgr<Sample> : &FfcBuildGainsRgb<Sample>);
  darkField(c, raw, r, cb);
  const PLSettings& s = job.settings;
  if (takeRequest(c, &PLContextT<Sample>::abbRequest)) {
    NoteStep(RawStep::BlackBalance);
    const BlackOffsets o = BlackBalanceInit(c, raw, r.bayer);
    // Read again: the request may have come with its hook after the frame's snapshot.
    const PLHostCallbacks now = SnapshotCallbacks(c);
    if (now.onBlackBalance) now.onBlackBalance(o.data(), now.onBlackBalanceContext);
  }
  if (!c.hwBlackLevel && (s.blackOffset[0] || s.blackOffset[1] || s.blackOffset[2])) {
    NoteStep(RawStep::BlackLevel);
    inRawBands(c, job, r, raw, [&](Sample* band, uint32_t rows) {
      blackLevel(uint32_t(c.bayer), s.blackOffset, r.pw, rows, band);  // the sensor's own order
    });
  }
  const bool rawLutOn = !c.rawLut.empty() && (s.stepBits & 4u);
  bool rawLutDone = false;
  if (c.isColour) {
    if (takeRequest(c, &PLContextT<Sample>::awbRequest)) {
      NoteStep(RawStep::WhiteBalance);
      WhiteBalanceInit(c, raw, r.bayer);
      NotifyWhiteBalance(c);
    }
    const auto& wb = job.tables.wb;
    const size_t entries = size_t{1} << c.bitDepth;
    if (!c.hasIsp && wb && wb->active && wb->lut[0].size() >= entries &&
        wb->lut[1].size() >= entries && wb->lut[2].size() >= entries) {
      NoteStep(RawStep::RawWb);
      const auto* lut = rawLutOn ? &c.rawLut : nullptr;
      rawLutDone = foldsRawLut(r.bayer, lut);
      inRawBands(c, job, r, raw,
                 [&](Sample* band, uint32_t rows) { rawWb(r.bayer, *wb, r.pw, rows, band, lut); });
    }
  }
  if (rawLutOn) {
    NoteStep(RawStep::RawLut);
    if (!rawLutDone)
      inRawBands(c, job, r, raw,
                 [&](Sample* band, uint32_t rows) { rawLutPass(c.rawLut, r.pw, rows, band); });
  }
}

// Steps 13 and 14: the stripes, then statistics over the running frame's pixels.
template <typename Sample>
void colourAndStats(PLContextT<Sample>& c, const FrameJob<Sample>& job, const FrameHooks& hooks,
                    Sample* work, const Running& r) {
  NoteStep(RawStep::AdjustColour);
  StatsCounters total{};
  RunStripes(c, job, work, int32_t(r.ph), total);
  if (job.stats) deliverStats(c, job, hooks, total, r);
}

}  // namespace

void SetRawStepObserver(RawStepObserver observer, void* context) {
  gObserver = observer;
  gObserverContext = context;
}

void PL_ProcessRaw8(PLContext* ctx, uint8_t* raw, uint8_t* out, void*, const SensorRect* roi,
                    uint32_t binning, bool still) {
  if (!ctx || !raw) return;
  PLContext& c = *ctx;
  const FrameGeometry g{c.frameWidth, c.frameHeight, c.procWidth, c.procHeight};
  Running r;
  FrameJob<uint8_t> job;
  FrameHooks hooks;
  if (!beginFrame(c, g, roi, binning, c.bayer, r, job, hooks)) return;
  rawDomain(c, job, hooks.cb, raw, r);
  if (uint8_t* work = workImage8(c, out, r)) {
    NoteStep(RawStep::Demosaic);
    if (!stripeDemosaic(c, hooks, still, raw, r, job))
      demosaic(c, hooks.cb, r.bayer, hooks.demosaic(still), r.pw, r.ph, raw, work);
    colourAndStats(c, job, hooks, work, r);
    finishSteps(c, job, hooks, work, r);
    deliver8(c, job.settings, work, out, r);
  }
  c.roi = nullptr;
}

void PL_ProcessRaw16(PLContext16* ctx, uint16_t* raw, void* out, uint16_t* out16,
                     const SensorRect* roi, uint8_t binning, uint8_t still) {
  if (!ctx || !raw) return;
  PLContext16& c = *ctx;
  const FrameGeometry g{c.frameWidth, c.frameHeight, c.procWidth, c.procHeight};
  Running r;
  FrameJob<uint16_t> job;
  FrameHooks hooks;
  if (!beginFrame(c, g, roi, binning, c.bayer, r, job, hooks)) return;
  rawDomain(c, job, hooks.cb, raw, r);
  const uint8_t p = c.samplesPerPixel;
  const size_t workBytes = kernels::rowStride<uint16_t>(p, int32_t(r.pw)) * r.ph * 2;
  const bool sameSize = r.fw == r.pw && r.fh == r.ph;
  // out is the working image only when it takes 16-bit samples and nothing is resized.
  uint16_t* work =
      out && sameSize && c.outputFormat == kOutputRgb16
          ? static_cast<uint16_t*>(out)
          : (c.scratch.size() >= workBytes ? reinterpret_cast<uint16_t*>(c.scratch.data())
                                           : nullptr);
  if (work) {
    NoteStep(RawStep::Demosaic);
    if (!stripeDemosaic(c, hooks, still, raw, r, job))
      demosaic(c, hooks.cb, r.bayer, hooks.demosaic(still), r.pw, r.ph, raw, work);
    colourAndStats(c, job, hooks, work, r);
    finishSteps(c, job, hooks, work, r);
    const bool wide = c.outputFormat == kOutputRgb16;
    const size_t outBytes =
        wide ? kernels::turnedFrameBytes<uint16_t>(int32_t(r.fw), int32_t(r.fh), p)
             : kernels::turnedFrameBytes<uint8_t>(int32_t(r.fw), int32_t(r.fh), p);
    const size_t out16Bytes = kernels::turnedFrameBytes<uint16_t>(int32_t(r.fw), int32_t(r.fh), p);
    if (out16 && sameSize && work != out16) std::memcpy(out16, work, workBytes);
    if (out && !wide) {
      NoteStep(RawStep::Convert16To8);
      auto* dst = sameSize ? static_cast<uint8_t*>(out) : reinterpret_cast<uint8_t*>(work);
      kernels::Convert16To8(work, dst, int32_t(r.pw), int32_t(r.ph), p, c.bitDepth);
      if (!sameSize) {
        NoteStep(RawStep::Fit);
        kernels::FitToOutput(int32_t(r.fw), int32_t(r.fh), int32_t(r.pw), int32_t(r.ph),
                             static_cast<uint8_t*>(out), outBytes, dst, c.scratch.size(), p);
      }
    }
    if (out || out16) {
      NoteStep(RawStep::Rotate);
      stages::OutputTransforms16(&c, out, out ? outBytes : 0, out16, out16 ? out16Bytes : 0,
                                 int32_t(r.fw), int32_t(r.fh));
    }
  }
  c.roi = nullptr;
}

void Sharpen(PLContext& c, uint8_t* image, int32_t w, int32_t h, const stages::SharpenParams& sp) {
  stages::SharpenFrame(&c, image, w, h, sp);
}
void Sharpen16(PLContext16& c, uint16_t* image, int32_t w, int32_t h,
               const stages::SharpenParams& sp) {
  stages::SharpenFrame16(&c, image, w, h, sp);
}
void Sharpen(PLContext& c, uint8_t* image, int32_t w, int32_t h) {
  Sharpen(c, image, w, h, stages::CurrentSharpenParams(c));
}
void Sharpen16(PLContext16& c, uint16_t* image, int32_t w, int32_t h) {
  Sharpen16(c, image, w, h, stages::CurrentSharpenParams(c));
}
