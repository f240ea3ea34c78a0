// The per-frame snapshot and the stripe steps every thread runs on its own rows.
#include "pipeline/pl_frame_job.h"

#include <algorithm>
#include <mutex>

#include "kernels/colour_steps.h"
#include "kernels/demosaic.h"
#include "kernels/kernel_base.h"
#include "pipeline/stages/statistics.h"
#include "pipeline/stages/tone_choice.h"

namespace {

bool levelsActive(const PLSettings& s) {
  return std::any_of(s.levelLow, s.levelLow + 4, [](uint8_t v) { return v > 0; }) ||
         std::any_of(s.levelHigh, s.levelHigh + 4, [](uint8_t v) { return v < 255; });
}

template <typename Sample>
kernels::ColourAdjust<Sample> adjustArgs(const FrameJob<Sample>& j) {
  const PLSettings& s = j.settings;
  kernels::ColourAdjust<Sample> a;
  a.mono = j.mono, a.hwColour = j.hasIsp, a.swTone = j.hwToneBypass, a.matrixOn = j.colourMatrixOn;
  a.lumaR = j.lumaR, a.lumaG = j.lumaG, a.lumaB = j.lumaB;
  a.hueSat = j.tables.colour ? j.tables.colour->hueSatMatrix.data() : nullptr;
  a.coef = j.tables.colour ? j.tables.colour->coef.data() : nullptr;
  const size_t entries = size_t{1} << j.bits;
  a.tone =
      j.tables.tone && j.tables.tone->lut.size() >= entries ? j.tables.tone->lut.data() : nullptr;
  a.contrast = s.contrast, a.gamma = s.gamma, a.hue = s.hue, a.saturation = s.saturation;
  a.brightness = s.brightness, a.bits = j.bits, a.p = j.p;
  return a;
}

template <typename Order, typename Sample>
kernels::LevelTables<Sample> levelArgs(const FrameJob<Sample>& j) {
  // Level tables: 0 grey, then one per memory position of the colour samples.
  const auto& l = j.tables.level->lut;
  return {j.mono,      l[0].data(),
          j.lumaR,     j.lumaG,
          j.lumaB,     l[1 + Order::kRed].data(),
          l[2].data(), l[1 + Order::kBlue].data(),
          j.p};
}

void vignette(const FrameJob<uint8_t>& j, uint8_t* s, int32_t rows, const int32_t* radius) {
  const auto& v = *j.tables.vignette;
  (j.bgr ? kernels::ApplyVignetteBgr : kernels::ApplyVignetteRgb)(
      j.p, s, j.width, rows, radius, v.gain.data(), uint32_t(v.gain.size()), j.bits);
}
void vignette(const FrameJob<uint16_t>& j, uint16_t* s, int32_t rows, const int32_t* radius) {
  const auto& v = *j.tables.vignette;
  (j.bgr ? kernels::ApplyVignette16Bgr : kernels::ApplyVignette16Rgb)(
      j.p, s, j.width, rows, radius, v.gain.data(), uint32_t(v.gain.size()), j.bits);
}

void adjust(const FrameJob<uint8_t>& j, uint8_t* s, int32_t rows) {
  (j.bgr ? kernels::AdjustColorBgr : kernels::AdjustColorRgb)(adjustArgs(j), s, j.width, rows);
}
void adjust(const FrameJob<uint16_t>& j, uint16_t* s, int32_t rows) {
  (j.bgr ? kernels::AdjustColor16Bgr : kernels::AdjustColor16Rgb)(adjustArgs(j), s, j.width, rows);
}

// The kernels clear the counters first; with final 0 they leave the state alone.
void stats(const FrameJob<uint8_t>& j, const uint8_t* s, int32_t rows, StatsCounters& c) {
  auto* ctx = const_cast<PLContext*>(j.ctx);
  (j.bgr ? stages::CollectStatsBgr : stages::CollectStatsRgb)(ctx, j.mono, s, j.width, rows, 0, c);
}
void stats(const FrameJob<uint16_t>& j, const uint16_t* s, int32_t rows, StatsCounters& c) {
  auto* ctx = const_cast<PLContext16*>(j.ctx);
  (j.bgr ? stages::CollectStats16Bgr : stages::CollectStats16Rgb)(ctx, j.mono, s, j.width, rows, 0,
                                                                  c);
}

void levels(const FrameJob<uint8_t>& j, uint8_t* s, int32_t rows) {
  if (j.bgr)
    kernels::ApplyLevelsBgr(levelArgs<kernels::Bgr>(j), s, j.width, rows);
  else
    kernels::ApplyLevelsRgb(levelArgs<kernels::Rgb>(j), s, j.width, rows);
}
void levels(const FrameJob<uint16_t>& j, uint16_t* s, int32_t rows) {
  if (j.bgr)
    kernels::ApplyLevels16Bgr(levelArgs<kernels::Bgr>(j), s, j.width, rows);
  else
    kernels::ApplyLevels16Rgb(levelArgs<kernels::Rgb>(j), s, j.width, rows);
}

void tone(const FrameJob<uint8_t>& j, uint8_t* s, int32_t rows) {
  if (j.tone) kernels::ApplyToneLut(j.tone, j.width, rows, s, j.p);
}
void tone(const FrameJob<uint16_t>& j, uint16_t* s, int32_t rows) {
  if (j.tone) kernels::ApplyToneLut16(j.tone, j.width, rows, s, j.p);
}

// The raw rows whose output rows are this stripe's: mirrored when rows are stored bottom-up.
template <typename Sample>
void demosaicRows(const FrameJob<Sample>& j, Sample* stripe, int32_t rows, int32_t firstRow) {
  const StripeDemosaic<Sample>& d = j.demosaic;
  const int32_t y0 = d.layout.rowOrder ? firstRow : d.height - firstRow - rows;
  kernels::DemosaicRowsByMethod(d.layout, d.method, d.bayer, d.siteTable, j.width, d.height, y0,
                                y0 + rows, d.raw, stripe - size_t(firstRow) * j.rowSamples);
}

template <typename Sample>
void toneSteps(const FrameJob<Sample>& job, Sample* rowsAt, int32_t rows) {
  if (job.levels) levels(job, rowsAt, rows);
  if (job.hasToneMapping && !job.hasIsp) tone(job, rowsAt, rows);
  if (job.output) job.output.apply(rowsAt, job.width, rows, job.p);
}

// Rows of one pass: about this many bytes of image.
constexpr size_t kChunkBytes = 96 * 1024;

// Demosaic, vignette, colour adjustment, statistics (the kernel clears `counts` first), levels
// and tone curve on rows [0, rows) at `stripe`, image row firstRow.
template <typename Sample>
void stripeSteps(const FrameJob<Sample>& job, Sample* stripe, int32_t rows, int32_t firstRow,
                 StatsCounters& counts) {
  if (job.demosaic.raw) demosaicRows(job, stripe, rows, firstRow);
  if (job.vignette)
    vignette(job, stripe, rows, job.tables.vignette->radius->data() + size_t(firstRow) * job.width);
  adjust(job, stripe, rows);
  if (job.stats) stats(job, stripe, rows, counts);
  toneSteps(job, stripe, rows);
}

}  // namespace

template <typename Sample>
void SnapshotFrameJob(PLContextT<Sample>& ctx, int32_t width, FrameJob<Sample>& job) {
  {
    std::lock_guard<platform::RecursiveLock> hold(*ctx.mtxSettings);
    job.settings = ctx.settings;
    job.tables = ctx.tables;
    job.colourMatrixOn = ctx.colourMatrixOn;
    job.usmRadius = ctx.usmRadius, job.usmThreshold = ctx.usmThreshold;
    // The tone choice reads the live flags, so it is made here, once, for the whole frame.
    job.tone = ctx.hasToneMapping && !ctx.hasIsp
                   ? stages::SelectToneLut(ctx, job.tables, ctx.bitDepth)
                   : kernels::ToneLut<Sample>{};
    job.output = stages::OutputTableStep<Sample>(
        (ctx.settings.processFlags & PLProcessFlags::kNegative) != 0, ctx.bitDepth,
        job.tables.output ? &job.tables.output->lut : nullptr);
  }
  const PLSettings& s = job.settings;
  job.ctx = &ctx;
  job.bgr = ctx.byteOrder != 0, job.isColour = ctx.isColour, job.hasIsp = ctx.hasIsp;
  job.hwToneBypass = ctx.hwToneBypass, job.hasToneMapping = ctx.hasToneMapping;
  job.bits = ctx.bitDepth, job.p = ctx.samplesPerPixel, job.mono = s.mono != 0;
  job.width = width;
  job.rowSamples = kernels::rowStride<Sample>(job.p, width);
  job.lumaR = ctx.lumaR.data(), job.lumaG = ctx.lumaG.data(), job.lumaB = ctx.lumaB.data();
  const auto& v = job.tables.vignette;
  // The radius table covers the processing frame; a roi or binning runs without it.
  job.vignette = !ctx.roi && s.vignetteEnable && v && v->radius && !v->gain.empty() &&
                 uint32_t(width) == v->width && v->radius->size() >= size_t(v->width) * v->height;
  job.levels = levelsActive(s) && job.tables.level;
}

void AddStatsCounts(StatsCounters& total, const StatsCounters& part) {
  for (size_t c = 0; c < 4; ++c)
    for (size_t i = 0; i < 256; ++i) total[c][i] += part[c][i];
}

template <typename Sample>
void RunStripe(const FrameJob<Sample>& job, Sample* stripe, int32_t rows, int32_t firstRow,
               StatsCounters& counts) {
  if (rows <= 0) return;
  // Every step on a few rows at a time, so they stay in the cache from the demosaic on.
  const size_t rowBytes = std::max<size_t>(job.rowSamples * sizeof(Sample), 1);
  const int32_t chunk = int32_t(std::clamp<size_t>(kChunkBytes / rowBytes, 1, size_t(rows)));
  if (job.stats)
    for (auto& channel : counts) channel.fill(0);
  StatsCounters part{};
  for (int32_t y = 0; y < rows; y += chunk) {
    const int32_t n = std::min(chunk, rows - y);
    stripeSteps(job, stripe + size_t(y) * job.rowSamples, n, firstRow + y, part);
    if (job.stats) AddStatsCounts(counts, part);
  }
}

template <typename Sample>
void RunToneSteps(const FrameJob<Sample>& job, Sample* image, int32_t rows) {
  if (rows > 0) toneSteps(job, image, rows);
}

template void SnapshotFrameJob<uint8_t>(PLContext&, int32_t, FrameJob<uint8_t>&);
template void SnapshotFrameJob<uint16_t>(PLContext16&, int32_t, FrameJob<uint16_t>&);
template void RunStripe<uint8_t>(const FrameJob<uint8_t>&, uint8_t*, int32_t, int32_t,
                                 StatsCounters&);
template void RunStripe<uint16_t>(const FrameJob<uint16_t>&, uint16_t*, int32_t, int32_t,
                                  StatsCounters&);
template void RunToneSteps<uint8_t>(const FrameJob<uint8_t>&, uint8_t*, int32_t);
