// The grey frame drivers: calibration, black level, the grey spread, tone, statistics, output.
#include "pipeline/pl_mono_driver.h"

#include <cstring>

#include "kernels/colour_steps.h"
#include "pipeline/algorithms/black_balance.h"
#include "pipeline/pl_driver_steps.h"
#include "pipeline/stages/demosaic.h"

namespace {

using namespace drivers;

void spread(PLContext& c, const PLHostCallbacks& cb, const Running& r, const uint8_t* raw,
            uint8_t* work) {
  stages::ConvertMono(&c, cb, int32_t(r.pw), int32_t(r.ph), raw, work);
}
void spread(PLContext16& c, const PLHostCallbacks& cb, const Running& r, const uint16_t* raw,
            uint16_t* work) {
  stages::ConvertMono16(&c, cb, int32_t(r.pw), int32_t(r.ph), raw, work);
}
void greyBlack(uint16_t b, const Running& r, uint8_t* raw) {
  const uint16_t same[3] = {b, b, b};
  kernels::SubtractBlackLevel(0, same, int32_t(r.pw), int32_t(r.ph), raw);
}
void greyBlack(uint16_t b, const Running& r, uint16_t* raw) {
  const uint16_t same[3] = {b, b, b};
  kernels::SubtractBlackLevel16(0, same, int32_t(r.pw), int32_t(r.ph), raw);
}
void vignette(const FrameJob<uint8_t>& j, uint8_t* img, int32_t rows) {
  const auto& v = *j.tables.vignette;
  (j.bgr ? kernels::ApplyVignetteBgr : kernels::ApplyVignetteRgb)(
      j.p, img, j.width, rows, v.radius->data(), v.gain.data(), uint32_t(v.gain.size()), j.bits);
}
void vignette(const FrameJob<uint16_t>& j, uint16_t* img, int32_t rows) {
  const auto& v = *j.tables.vignette;
  (j.bgr ? kernels::ApplyVignette16Bgr : kernels::ApplyVignette16Rgb)(
      j.p, img, j.width, rows, v.radius->data(), v.gain.data(), uint32_t(v.gain.size()), j.bits);
}
void monoLut(const std::vector<uint8_t>& t, const FrameJob<uint8_t>& j, uint8_t* img, int32_t h) {
  kernels::ApplyMonoLut(t.data(), j.width, h, img, j.p);
}
void monoLut(const std::vector<uint16_t>& t, const FrameJob<uint16_t>& j, uint16_t* img,
             int32_t h) {
  kernels::ApplyMonoLut16(t.data(), j.width, h, img, j.p);
}
// Final statistics over the whole frame: the kernel stores luma into all four arrays.
void greyStats(PLContext& c, const FrameJob<uint8_t>& j, const uint8_t* img, int32_t h) {
  StatsCounters counts{};
  (j.bgr ? stages::CollectStatsBgr : stages::CollectStatsRgb)(&c, 1, img, j.width, h, 1, counts);
}
void greyStats(PLContext16& c, const FrameJob<uint16_t>& j, const uint16_t* img, int32_t h) {
  StatsCounters counts{};
  (j.bgr ? stages::CollectStats16Bgr : stages::CollectStats16Rgb)(&c, 1, img, j.width, h, 1,
                                                                  counts);
}
template <typename Sample>
kernels::LevelTables<Sample> greyLevels(const FrameJob<Sample>& j) {
  const auto& l = j.tables.level->lut;
  return {1, l[0].data(), j.lumaR, j.lumaG, j.lumaB, l[1].data(), l[2].data(), l[3].data(), j.p};
}
void levels(const FrameJob<uint8_t>& j, uint8_t* img, int32_t h) {
  (j.bgr ? kernels::ApplyLevelsBgr : kernels::ApplyLevelsRgb)(greyLevels(j), img, j.width, h);
}
void levels(const FrameJob<uint16_t>& j, uint16_t* img, int32_t h) {
  (j.bgr ? kernels::ApplyLevels16Bgr : kernels::ApplyLevels16Rgb)(greyLevels(j), img, j.width, h);
}

// Calibration, black balance, black level and the camera's raw table on the raw frame.
template <typename Sample>
void rawSteps(PLContextT<Sample>& c, const FrameJob<Sample>& job, const PLHostCallbacks& cb,
              Sample* raw, const Running& r) {
  flatField(c, raw, r, cb, &FfcFromFramesMono<Sample>);
  darkField(c, raw, r, cb);
  const PLSettings& s = job.settings;
  if (takeRequest(c, &PLContextT<Sample>::abbRequest)) {
    NoteStep(RawStep::BlackBalance);
    const BlackOffsets o = BlackBalanceInitMono(c, raw);
    // Read again: the request may have come with its hook after the frame's snapshot.
    const PLHostCallbacks now = SnapshotCallbacks(c);
    if (now.onBlackBalance) now.onBlackBalance(o.data(), now.onBlackBalanceContext);
  }
  // The 8-bit frame loses the offset's low byte, the high-bit frame all of it.
  const uint16_t black = sizeof(Sample) == 1 ? uint16_t(s.blackOffset[0] & 0xFF) : s.blackOffset[0];
  if (!c.hwBlackLevel && black) {
    NoteStep(RawStep::BlackLevel);
    greyBlack(black, r, raw);
  }
  if (!c.rawLut.empty() && (s.stepBits & 4u)) {
    NoteStep(RawStep::RawLut);
    rawLutPass(c.rawLut, r.pw, r.ph, raw);
  }
}

// From the grey spread to the AE mark, on the working image at the running size.
template <typename Sample>
void imageSteps(PLContextT<Sample>& c, const FrameJob<Sample>& job, const FrameHooks& hooks,
                const Sample* raw, Sample* work, const Running& r) {
  const PLSettings& s = job.settings;
  const PLHostCallbacks& cb = hooks.cb;
  const int32_t h = int32_t(r.ph);
  NoteStep(RawStep::GreySpread);
  spread(c, cb, r, raw, work);
  if (job.vignette) {
    NoteStep(RawStep::Vignette);
    vignette(job, work, h);
  }
  const auto& tone = job.tables.tone;
  if ((s.contrast || s.gamma != 100 || s.brightness) && tone &&
      tone->lut.size() >= size_t{1} << job.bits) {
    NoteStep(RawStep::MonoLut);
    monoLut(tone->lut, job, work, h);
  }
  if (job.stats) {
    NoteStep(RawStep::Statistics);
    greyStats(c, job, work, h);
    answerStats(c, hooks);
  }
  if (cb.histogramCallback) {
    NoteStep(RawStep::Histogram);
    histogram(c, work, r.pw, r.ph, 1, cb);
  }
  if (job.levels) {
    NoteStep(RawStep::Levels);
    levels(job, work, h);
  }
  // The negative and the output table, as on every other path of the camera.
  if (job.output) job.output.apply(work, job.width, h, job.p);
  NoteStep(RawStep::Sharpen);
  sharpen(c, work, r.pw, r.ph, SharpenParamsOf(job));
  if (hooks.mark.on) {
    NoteStep(RawStep::AeMark);
    markAe(c, hooks.mark, work, r.pw, r.ph);
  }
}

// The 16-bit work image into a 16-bit output of the frame size: copied, or fitted when resized.
void wideCopy(const uint16_t* work, uint16_t* dst, size_t dstBytes, const Running& r, uint8_t p) {
  const int32_t pw = int32_t(r.pw), ph = int32_t(r.ph), fw = int32_t(r.fw), fh = int32_t(r.fh);
  const size_t workBytes = kernels::rowStride<uint16_t>(p, pw) * r.ph * 2;
  if (fw == pw && fh == ph) {
    std::memcpy(dst, work, workBytes);
    return;
  }
  NoteStep(RawStep::Fit);
  kernels::FitToOutput16(fw, fh, pw, ph, dst, dstBytes, work, workBytes, p);
}

}  // namespace

void PL_ProcessMono8(PLContext* ctx, uint8_t* raw, uint8_t* out, void*, const SensorRect* roi,
                     uint32_t binning) {
  if (!ctx || !raw) return;
  PLContext& c = *ctx;
  const FrameGeometry g{c.frameWidth, c.frameHeight, c.procWidth, c.procHeight};
  Running r;
  FrameJob<uint8_t> job;
  FrameHooks hooks;
  // A grey frame has no Bayer phase: order 0 keeps the roi from shifting anything.
  if (!beginFrame(c, g, roi, binning, 0, r, job, hooks)) return;
  rawSteps(c, job, hooks.cb, raw, r);
  if (uint8_t* work = workImage8(c, out, r)) {
    imageSteps(c, job, hooks, raw, work, r);
    deliver8(c, job.settings, work, out, r);
  }
  c.roi = nullptr;
}

void PL_ProcessMono16(PLContext16* ctx, uint16_t* raw, void* out, uint16_t* out16,
                      const SensorRect* roi, uint8_t binning) {
  if (!ctx || !raw) return;
  PLContext16& c = *ctx;
  const FrameGeometry g{c.frameWidth, c.frameHeight, c.procWidth, c.procHeight};
  Running r;
  FrameJob<uint16_t> job;
  FrameHooks hooks;
  if (!beginFrame(c, g, roi, binning, 0, r, job, hooks)) return;
  rawSteps(c, job, hooks.cb, raw, r);
  const uint8_t p = c.samplesPerPixel;
  const size_t workBytes = kernels::rowStride<uint16_t>(p, int32_t(r.pw)) * r.ph * 2;
  const bool sameSize = r.fw == r.pw && r.fh == r.ph;
  // Both 16-bit outputs take the samples as they are; the others are converted from the work.
  const bool wide = c.outputFormat == kOutputRgb16 || c.outputFormat == kOutputGrey16;
  uint16_t* work = out && sameSize && wide ? static_cast<uint16_t*>(out)
                                           : (c.scratch.size() >= workBytes
                                                  ? reinterpret_cast<uint16_t*>(c.scratch.data())
                                                  : nullptr);
  if (!work) {
    c.roi = nullptr;
    return;
  }
  imageSteps(c, job, hooks, raw, work, r);
  const int32_t fw = int32_t(r.fw), fh = int32_t(r.fh);
  const size_t outBytes = wide ? kernels::turnedFrameBytes<uint16_t>(fw, fh, p)
                               : kernels::turnedFrameBytes<uint8_t>(fw, fh, p);
  const size_t out16Bytes = kernels::turnedFrameBytes<uint16_t>(fw, fh, p);
  if (out16 && work != out16) wideCopy(work, out16, out16Bytes, r, p);
  if (out && wide && !sameSize) wideCopy(work, static_cast<uint16_t*>(out), outBytes, r, p);
  if (out && !wide) {
    NoteStep(RawStep::Convert16To8);
    auto* dst = sameSize ? static_cast<uint8_t*>(out) : reinterpret_cast<uint8_t*>(work);
    kernels::Convert16To8(work, dst, int32_t(r.pw), int32_t(r.ph), p, c.bitDepth);
    if (!sameSize) {
      NoteStep(RawStep::Fit);
      kernels::FitToOutput(fw, fh, int32_t(r.pw), int32_t(r.ph), static_cast<uint8_t*>(out),
                           outBytes, dst, c.scratch.size(), p);
    }
  }
  if (out || out16) {
    NoteStep(RawStep::Rotate);
    stages::OutputTransforms16(&c, out, out ? outBytes : 0, out16, out16 ? out16Bytes : 0, fw, fh);
  }
  c.roi = nullptr;
}
