// Statistics: 256-bin luma and colour counts of a stripe, normalised on the final pass.
#include <algorithm>
#include <mutex>

#include "kernels/statistics.h"

namespace kernels {
namespace {

template <typename Sample, typename Order>
void countColour(const PLContextT<Sample>& ctx, const Sample* stripe, int32_t width, int32_t rows,
                 StatsCounts& counts) {
  const uint8_t p = ctx.samplesPerPixel;
  const size_t stride = rowStride<Sample>(p, width);
  const uint32_t max = sampleMax<Sample>(ctx.bitDepth);
  const uint32_t shift = ctx.bitDepth > 8 ? ctx.bitDepth - 8u : 0u;
  const double *lr = ctx.lumaR.data(), *lg = ctx.lumaG.data(), *lb = ctx.lumaB.data();
  for (int32_t y = 0; y < rows; ++y) {
    const Sample* px = stripe + size_t(y) * stride;
    for (int32_t x = 0; x < width; ++x, px += p) {
      const uint32_t r = std::min<uint32_t>(px[Order::kRed], max);
      const uint32_t g = std::min<uint32_t>(px[1], max);
      const uint32_t b = std::min<uint32_t>(px[Order::kBlue], max);
      const auto l = std::min(static_cast<uint32_t>(lr[r] + lg[g] + lb[b]), max);
      ++counts[0][l >> shift], ++counts[1][r >> shift], ++counts[2][g >> shift],
          ++counts[3][b >> shift];
    }
  }
}

template <typename Sample>
void countMono(const PLContextT<Sample>& ctx, const Sample* stripe, int32_t width, int32_t rows,
               StatsCounts& counts) {
  const uint8_t p = ctx.samplesPerPixel;
  const size_t stride = rowStride<Sample>(p, width);
  const uint32_t max = sampleMax<Sample>(ctx.bitDepth);
  const uint32_t shift = ctx.bitDepth > 8 ? ctx.bitDepth - 8u : 0u;
  for (int32_t y = 0; y < rows; ++y) {
    const Sample* px = stripe + size_t(y) * stride;
    for (int32_t x = 0; x < width; ++x, px += p)
      ++counts[0][std::min<uint32_t>(px[0], max) >> shift];
  }
}

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

template <typename Sample, typename Order>
void collectStats(PLContextT<Sample>* ctx, uint8_t mono, const Sample* stripe, int32_t width,
                  int32_t rows, uint8_t final, StatsCounts& counts) {
  if (!ctx) return;
  counts[0].fill(0);
  if (!mono) counts[1].fill(0), counts[2].fill(0), counts[3].fill(0);
  const uint32_t entries = sampleMax<Sample>(ctx->bitDepth) + 1;
  const bool tables =
      ctx->lumaR.size() >= entries && ctx->lumaG.size() >= entries && ctx->lumaB.size() >= entries;
  const bool depthOk = ctx->bitDepth >= 8 && ctx->bitDepth <= 8 * sizeof(Sample);
  const bool usable =
      depthOk && stripe && width > 0 && rows > 0 &&
      (mono ? ctx->samplesPerPixel >= 1 : colourPixel(ctx->samplesPerPixel) && tables);
  if (usable) {
    if (mono)
      countMono(*ctx, stripe, width, rows, counts);
    else
      countColour<Sample, Order>(*ctx, stripe, width, rows, counts);
  }
  if (final) storeFractions(*ctx, mono != 0, counts, usable ? uint64_t(width) * uint64_t(rows) : 0);
}

}  // namespace

void CollectStatsBgr(PLContext* ctx, uint8_t mono, const uint8_t* stripe, int32_t width,
                     int32_t rows, uint8_t final, StatsCounts& counts) {
  collectStats<uint8_t, Bgr>(ctx, mono, stripe, width, rows, final, counts);
}
void CollectStatsRgb(PLContext* ctx, uint8_t mono, const uint8_t* stripe, int32_t width,
                     int32_t rows, uint8_t final, StatsCounts& counts) {
  collectStats<uint8_t, Rgb>(ctx, mono, stripe, width, rows, final, counts);
}
void CollectStats16Bgr(PLContext16* ctx, uint8_t mono, const uint16_t* stripe, int32_t width,
                       int32_t rows, uint8_t final, StatsCounts& counts) {
  collectStats<uint16_t, Bgr>(ctx, mono, stripe, width, rows, final, counts);
}
void CollectStats16Rgb(PLContext16* ctx, uint8_t mono, const uint16_t* stripe, int32_t width,
                       int32_t rows, uint8_t final, StatsCounts& counts) {
  collectStats<uint16_t, Rgb>(ctx, mono, stripe, width, rows, final, counts);
}

}  // namespace kernels
