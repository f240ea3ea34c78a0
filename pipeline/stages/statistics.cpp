// Statistics step: a stripe's counts, and on the final pass their fractions stored under the lock.
#include "pipeline/stages/statistics.h"

#include <mutex>

#include "pipeline/stages/layout.h"

namespace stages {
namespace {

// The fractions of the pixels this call counted, so a part of the frame still sums to 1.
template <typename Sample>
void storeFractions(PLContextT<Sample>& ctx, bool mono, const StatsCounts& counts,
                    uint64_t pixels) {
  std::array<std::array<float, 256>, 4> f{};
  if (pixels)
    for (int c = 0; c < 4; ++c)
      for (int i = 0; i < 256; ++i) f[c][i] = float(counts[mono ? 0 : c][i]) / float(pixels);
  std::unique_lock<platform::RecursiveLock> hold;
  if (ctx.mtxStats) hold = std::unique_lock<platform::RecursiveLock>(*ctx.mtxStats);
  ctx.statsF = f;
}

template <typename Sample>
void collectStats(PLContextT<Sample>* ctx, bool bgr, uint8_t mono, const Sample* stripe,
                  int32_t width, int32_t rows, uint8_t final, StatsCounts& counts) {
  if (!ctx) return;
  counts[0].fill(0);
  if (!mono) counts[1].fill(0), counts[2].fill(0), counts[3].fill(0);
  const uint32_t entries = kernels::sampleMax<Sample>(ctx->bitDepth) + 1;
  const bool tables =
      ctx->lumaR.size() >= entries && ctx->lumaG.size() >= entries && ctx->lumaB.size() >= entries;
  const bool depthOk = ctx->bitDepth >= 8 && ctx->bitDepth <= 8 * sizeof(Sample);
  const bool usable =
      depthOk && stripe && width > 0 && rows > 0 &&
      (mono ? ctx->samplesPerPixel >= 1 : kernels::colourPixel(ctx->samplesPerPixel) && tables);
  if (usable)
    kernels::CountStats(LayoutOf(*ctx, bgr), mono != 0,
                        {ctx->lumaR.data(), ctx->lumaG.data(), ctx->lumaB.data()}, stripe, width,
                        rows, counts);
  if (final) storeFractions(*ctx, mono != 0, counts, usable ? uint64_t(width) * uint64_t(rows) : 0);
}

}  // namespace

void CollectStatsBgr(PLContext* ctx, uint8_t mono, const uint8_t* stripe, int32_t width,
                     int32_t rows, uint8_t final, StatsCounts& counts) {
  collectStats(ctx, true, mono, stripe, width, rows, final, counts);
}
void CollectStatsRgb(PLContext* ctx, uint8_t mono, const uint8_t* stripe, int32_t width,
                     int32_t rows, uint8_t final, StatsCounts& counts) {
  collectStats(ctx, false, mono, stripe, width, rows, final, counts);
}
void CollectStats16Bgr(PLContext16* ctx, uint8_t mono, const uint16_t* stripe, int32_t width,
                       int32_t rows, uint8_t final, StatsCounts& counts) {
  collectStats(ctx, true, mono, stripe, width, rows, final, counts);
}
void CollectStats16Rgb(PLContext16* ctx, uint8_t mono, const uint16_t* stripe, int32_t width,
                       int32_t rows, uint8_t final, StatsCounts& counts) {
  collectStats(ctx, false, mono, stripe, width, rows, final, counts);
}

}  // namespace stages
