// Steps the frame drivers share: running sizes, calibration, requests, the frame's snapshot,
// the finishing steps and the 8-bit orientation.
#pragma once

#include <cstdint>
#include <mutex>
#include <utility>

#include "base/trace.h"
#include "kernels/calibration.h"
#include "kernels/geometry.h"
#include "kernels/output.h"
#include "kernels/raw_steps.h"
#include "pipeline/algorithms/dark_field.h"
#include "pipeline/algorithms/flat_field.h"
#include "pipeline/pl_frame_job.h"
#include "pipeline/pl_init_params.h"
#include "pipeline/pl_raw_driver.h"
#include "pipeline/pl_state_lock.h"
#include "pipeline/stages/defect_repair.h"
#include "pipeline/stages/orientation.h"
#include "pipeline/stages/statistics.h"

namespace drivers {

// Tells the step observer, when one is set, that a step runs.
void NoteStep(RawStep step);

using Lock = std::lock_guard<platform::RecursiveLock>;

// The running frame: sizes after roi and binning, and the Bayer order its first sample sees.
struct Running {
  uint32_t fw, fh, pw, ph;
  uint32_t bayer;
};

inline bool runningSizes(const FrameGeometry& g, const SensorRect* roi, uint32_t binning,
                         int32_t bayer, Running& r) {
  r = {g.frameWidth, g.frameHeight, g.procWidth, g.procHeight, uint32_t(bayer)};
  if (roi) {
    if (roi->right <= roi->left || roi->bottom <= roi->top) return false;
    r.fw = r.pw = roi->right - roi->left;
    r.fh = r.ph = roi->bottom - roi->top;
    r.bayer = uint32_t(kernels::BayerPhaseForRoi(bayer, int32_t(roi->left), int32_t(roi->top)));
  }
  if (binning > 1) {
    for (uint32_t* n : {&r.fw, &r.fh, &r.pw, &r.ph}) *n = (*n / binning) & ~1u;
  }
  return r.fw && r.fh && r.pw && r.ph && r.fw <= kMaxFrameDimension && r.fh <= kMaxFrameDimension;
}

inline void histogram(PLContext& c, const uint8_t* img, uint32_t w, uint32_t h, uint8_t mono,
                      const PLHostCallbacks& cb) {
  (c.byteOrder ? stages::ReportHistogramBgr : stages::ReportHistogramRgb)(
      &c, img, int32_t(w), int32_t(h), mono, cb.histogramCallback, cb.histogramCallbackContext);
}
inline void histogram(PLContext16& c, const uint16_t* img, uint32_t w, uint32_t h, uint8_t mono,
                      const PLHostCallbacks& cb) {
  (c.byteOrder ? stages::ReportHistogram16Bgr : stages::ReportHistogram16Rgb)(
      &c, img, int32_t(w), int32_t(h), mono, cb.histogramCallback, cb.histogramCallbackContext);
}
inline void markAe(const PLContext& c, const stages::AeMark& m, uint8_t* img, uint32_t w,
                   uint32_t h) {
  stages::MarkAeWindow(c, m, img, int32_t(w), int32_t(h));
}
inline void markAe(const PLContext16& c, const stages::AeMark& m, uint16_t* img, uint32_t w,
                   uint32_t h) {
  stages::MarkAeWindow16(c, m, img, int32_t(w), int32_t(h));
}
inline void sharpen(PLContext& c, uint8_t* img, uint32_t w, uint32_t h,
                    const stages::SharpenParams& sp) {
  Sharpen(c, img, int32_t(w), int32_t(h), sp);
}
inline void sharpen(PLContext16& c, uint16_t* img, uint32_t w, uint32_t h,
                    const stages::SharpenParams& sp) {
  Sharpen16(c, img, int32_t(w), int32_t(h), sp);
}

// Kernel twins by sample width.
inline void ffc(uint32_t w, uint32_t h, uint8_t* raw, uint8_t, const uint32_t* g) {
  kernels::ApplyFfc(int32_t(w), int32_t(h), raw, 8, g);
}
inline void ffc(uint32_t w, uint32_t h, uint16_t* raw, uint8_t bits, const uint32_t* g) {
  kernels::ApplyFfc16(int32_t(w), int32_t(h), raw, bits, g);
}
inline void dark(const PLContext& c, uint32_t w, uint32_t h, uint8_t* raw) {
  kernels::SubtractDark8(int32_t(w), int32_t(h), raw, c.darkTable.data());
  stages::ApplyDefectList(int32_t(w), int32_t(h), raw, &c);
}
inline void dark(const PLContext16& c, uint32_t w, uint32_t h, uint16_t* raw) {
  kernels::SubtractDark16(int32_t(w), int32_t(h), raw, c.darkTable.data());
  stages::ApplyDefectList16(int32_t(w), int32_t(h), raw, &c);
}
// The camera's raw table over a dense run of samples.
inline void rawLutPass(const std::vector<uint8_t>& lut, uint32_t w, uint32_t h, uint8_t* raw) {
  kernels::ApplyRawLut(lut.data(), uint32_t(std::min<size_t>(lut.size(), 256)), int32_t(w),
                       int32_t(h), raw);
}
inline void rawLutPass(const std::vector<uint16_t>& lut, uint32_t w, uint32_t h, uint16_t* raw) {
  const size_t last = lut.size() - 1;
  for (size_t i = 0, n = size_t(w) * h; i < n; ++i) raw[i] = lut[std::min<size_t>(raw[i], last)];
}
// Flat-field accumulation (running size), finished by `complete`, and correction, under mtxFfc.
template <typename Sample>
void flatField(PLContextT<Sample>& c, Sample* raw, const Running& r, const PLHostCallbacks& cb,
               void (*complete)(PLContextT<Sample>&, uint32_t, uint32_t, uint32_t)) {
  const uint32_t w = r.pw, h = r.ph;
  const size_t n = size_t(w) * h;
  bool accumulated = false;
  {
    Lock hold(*c.mtxFfc);
    if (c.ffcRequest) {
      NoteStep(RawStep::FfcAccumulate);
      // First use, or a new running size: the run starts over at this size.
      if (c.ffcSum.size() != n) c.ffcSum.assign(n, 0), c.ffcCount = 0;
      for (size_t i = 0; i < n; ++i) c.ffcSum[i] += raw[i];
      if (++c.ffcCount >= c.ffcFrames) complete(c, w, h, r.bayer);
      accumulated = true;
    }
    if (c.ffcEnable && c.ffcValid && c.ffcGain.size() >= n) {
      NoteStep(RawStep::FfcApply);
      ffc(w, h, raw, c.bitDepth, c.ffcGain.data());
    }
  }
  if (accumulated && cb.onFfcFrame) cb.onFfcFrame(cb.onFfcFrameContext);
}

// Dark-field accumulation and correction under mtxDfc; the report after the lock is let go.
template <typename Sample>
void darkField(PLContextT<Sample>& c, Sample* raw, const Running& r, const PLHostCallbacks& cb) {
  const uint32_t w = r.pw, h = r.ph;
  bool accumulated = false;
  {
    Lock hold(*c.mtxDfc);
    if (c.dfcRequest) {
      NoteStep(RawStep::DfcAccumulate);
      AccumulateDfc(c, raw, w, h, r.bayer);
      accumulated = true;
    }
    if (c.dfcEnable && c.dfcValid && c.darkTable.size() >= size_t(w) * h) {
      NoteStep(RawStep::DfcApply);
      dark(c, w, h, raw);
    }
  }
  if (accumulated && cb.onDfcFrame) cb.onDfcFrame(cb.onDfcFrameContext);
}

// Reads and clears a request raised by a setter on another thread.
template <typename Sample>
bool takeRequest(PLContextT<Sample>& c, uint8_t PLContextT<Sample>::*flag) {
  Lock hold(*c.mtxSettings);
  return std::exchange(c.*flag, uint8_t{0}) != 0;
}

// What the frame reads of what setters change on other threads, taken under mtxSettings.
struct FrameHooks {
  PLHostCallbacks cb;
  stages::AeMark mark;
  uint32_t demosaicVideo = 0, demosaicStill = 0;
  uint32_t statsSerial = 0;  // the statistics request the frame began with
  uint32_t demosaic(bool still) const { return still ? demosaicStill : demosaicVideo; }
};

inline constexpr uint32_t kStatsOneShot = 1;

// Hands the frame's statistics over. A one-shot request is taken here, by a frame that has
// statistics to give, never by one that ended without them; one written after the frame began
// is left for the next frame.
template <typename Sample>
void answerStats(PLContextT<Sample>& c, const FrameHooks& hooks) {
  {
    Lock hold(*c.mtxSettings);
    if (c.statsRequestSerial == hooks.statsSerial) c.statsRequest &= ~kStatsOneShot;
  }
  const PLHostCallbacks& cb = hooks.cb;
  if (cb.statsCallback) {
    NoteStep(RawStep::StatsDelivery);
    cb.statsCallback(c.statsF[0].data(), c.statsF[1].data(), c.statsF[2].data(), c.statsF[3].data(),
                     cb.statsCallbackContext);
    PLStateLock::leaveIfRetiredHere();  // the callback deleted the camera: nothing more of it
  }
}

// Statistics of the running frame's pixels from the summed counters, then their delivery.
template <typename Sample>
void deliverStats(PLContextT<Sample>& c, const FrameJob<Sample>& job, const FrameHooks& hooks,
                  const StatsCounters& total, const Running& r) {
  NoteStep(RawStep::Statistics);
  {
    Lock hold(*c.mtxStats);
    const double pixels = double(r.pw) * double(r.ph);
    for (size_t ch = 0; ch < 4; ++ch) {
      const auto& src = job.mono ? total[0] : total[ch];
      for (size_t i = 0; i < 256; ++i) c.statsF[ch][i] = float(double(src[i]) / pixels);
    }
  }
  answerStats(c, hooks);
}

// Steps 1, 3 and the frame's snapshot; false when the frame cannot run.
template <typename Sample>
bool beginFrame(PLContextT<Sample>& c, const FrameGeometry& g, const SensorRect* roi,
                uint32_t binning, int32_t bayer, Running& r, FrameJob<Sample>& job,
                FrameHooks& hooks) {
  if (!runningSizes(g, roi, binning, bayer, r)) {
    ZX_TRACE_ERROR("%s: bad roi or binning", "PL_Process");
    return false;
  }
  bool stats = false;
  {
    Lock hold(*c.mtxSettings);
    // Decided per frame: frames on other threads may begin and end around this one.
    stats = c.statsRequest != 0;
    hooks.statsSerial = c.statsRequestSerial;
    hooks.cb = c.callbacks;
    hooks.mark = stages::NextAeMark(c);
    hooks.demosaicVideo = c.demosaicVideo;
    hooks.demosaicStill = c.demosaicStill;
  }
  c.roi = roi;
  c.binning = binning;
  SnapshotFrameJob(c, int32_t(r.pw), job);
  job.stats = stats;
  c.frameMono = job.settings.mono;
  return true;
}

// Steps 15 to 17 on the working image.
template <typename Sample>
void finishSteps(PLContextT<Sample>& c, const FrameJob<Sample>& job, const FrameHooks& hooks,
                 Sample* work, const Running& r) {
  const PLHostCallbacks& cb = hooks.cb;
  if (cb.histogramCallback) {
    NoteStep(RawStep::Histogram);
    histogram(c, work, r.pw, r.ph, job.mono, cb);
  }
  NoteStep(RawStep::Sharpen);
  sharpen(c, work, r.pw, r.ph, SharpenParamsOf(job));
  if (hooks.mark.on) {
    NoteStep(RawStep::AeMark);
    markAe(c, hooks.mark, work, r.pw, r.ph);
  }
}

inline void orient8(PLContext& c, const PLSettings& s, uint8_t* out, size_t outBytes,
                    const Running& r) {
  const uint8_t p = c.samplesPerPixel;
  const int32_t w = int32_t(r.fw), h = int32_t(r.fh);
  if (out) {
    NoteStep(RawStep::Mirror);
    kernels::FlipImage8(int32_t(s.mirror), w, h, out, p);
  }
  namespace F = PLProcessFlags;
  const uint32_t f = s.processFlags;
  if (!(f & F::kRotateMask)) return;
  NoteStep(RawStep::Rotate);
  if (f & F::kRotate180 && !(f & F::kRotate90)) {
    if (out) kernels::Rotate180_8(w, h, out, p);
    return;
  }
  // The quarter turns copy through the state's buffer, which a still of this state turns in too.
  std::lock_guard<platform::Mutex> hold(*c.mtxScratch);
  if (f & F::kRotate90) {
    const auto scratch = stages::EnsureRotateBuffer8(&c, w, h, p);
    if (out && !kernels::RotateCcw8(out, outBytes, scratch, w, h, p))
      ZX_TRACE_ERROR("%s: turn refused", "PL_ProcessRaw8");
  } else {
    const auto scratch = stages::EnsureRotateBuffer8(&c, w, h, p);
    if (out && !kernels::RotateCw8(out, outBytes, scratch, w, h, p))
      ZX_TRACE_ERROR("%s: turn refused", "PL_ProcessRaw8");
  }
}

// The 8-bit working image: out itself when nothing is resized, else the scratch frame; null
// when neither can hold it.
inline uint8_t* workImage8(PLContext& c, uint8_t* out, const Running& r) {
  const size_t workBytes = kernels::rowStride<uint8_t>(c.samplesPerPixel, int32_t(r.pw)) * r.ph;
  if (out && r.fw == r.pw && r.fh == r.ph) return out;
  return c.scratch.size() >= workBytes ? c.scratch.data() : nullptr;
}

// The working image fitted into out when they differ, then out mirrored and turned.
inline void deliver8(PLContext& c, const PLSettings& s, const uint8_t* work, uint8_t* out,
                     const Running& r) {
  const uint8_t p = c.samplesPerPixel;
  const size_t outBytes = kernels::turnedFrameBytes<uint8_t>(int32_t(r.fw), int32_t(r.fh), p);
  if (out && work != out) {
    NoteStep(RawStep::Fit);
    kernels::FitToOutput(int32_t(r.fw), int32_t(r.fh), int32_t(r.pw), int32_t(r.ph), out, outBytes,
                         work, c.scratch.size(), p);
  }
  orient8(c, s, out, outBytes, r);
}

}  // namespace drivers
