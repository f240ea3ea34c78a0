// Full-resolution histogram of the processed frame, handed to the host in one call.
#include <algorithm>
#include <new>

#include "base/trace.h"
#include "kernels/statistics.h"

namespace kernels {
namespace {

// The state's counters, sized once for the largest depth's colour histogram; none when the
// memory is not there.
template <typename Sample>
uint32_t* histogramCounters(PLContextT<Sample>& ctx, size_t needed) {
  if (ctx.histogramCounts.size() < needed) {
    try {
      ctx.histogramCounts.resize(needed);
    } catch (const std::bad_alloc&) {
      return nullptr;
    }
  }
  return ctx.histogramCounts.data();
}

template <typename Sample, typename Order>
void countHistogram(const Sample* image, size_t stride, int32_t width, int32_t height, uint8_t p,
                    bool mono, uint32_t n, uint32_t* counts) {
  const uint32_t max = n - 1;
  for (int32_t y = 0; y < height; ++y) {
    const Sample* px = image + size_t(y) * stride;
    if (mono) {
      for (int32_t x = 0; x < width; ++x, px += p) ++counts[std::min<uint32_t>(px[0], max)];
      continue;
    }
    for (int32_t x = 0; x < width; ++x, px += p) {
      ++counts[std::min<uint32_t>(px[Order::kRed], max)];
      ++counts[n + std::min<uint32_t>(px[1], max)];
      ++counts[2 * n + std::min<uint32_t>(px[Order::kBlue], max)];
    }
  }
}

template <typename Sample, typename Order>
void reportHistogram(PLContextT<Sample>* ctx, const Sample* image, int32_t width, int32_t height,
                     uint8_t mono, HistogramCallback callback, void* context) {
  if (!ctx || !callback) return;
  const uint32_t bits = ctx->bitDepth;
  const uint8_t p = ctx->samplesPerPixel;
  if (bits < 8 || bits > 8 * sizeof(Sample) || (!mono && !colourPixel(p)) || p < 1) return;
  const uint32_t n = 1u << bits;
  uint32_t* counts = histogramCounters(*ctx, size_t{3} << (8 * sizeof(Sample)));
  if (!counts) {
    ZX_TRACE_ERROR("%s: no memory for %u counters", "ReportHistogram", 3u * n);
    return;
  }
  std::fill(counts, counts + (mono ? n : 3 * n), 0u);
  if (image && width > 0 && height > 0)
    countHistogram<Sample, Order>(image, rowStride<Sample>(p, width), width, height, p, mono != 0,
                                  n, counts);
  callback(counts, mono ? (bits | 0x8000u) : bits, context);
}

}  // namespace

void ReportHistogramBgr(PLContext* ctx, const uint8_t* image, int32_t width, int32_t height,
                        uint8_t mono, HistogramCallback callback, void* context) {
  reportHistogram<uint8_t, Bgr>(ctx, image, width, height, mono, callback, context);
}
void ReportHistogramRgb(PLContext* ctx, const uint8_t* image, int32_t width, int32_t height,
                        uint8_t mono, HistogramCallback callback, void* context) {
  reportHistogram<uint8_t, Rgb>(ctx, image, width, height, mono, callback, context);
}
void ReportHistogram16Bgr(PLContext16* ctx, const uint16_t* image, int32_t width, int32_t height,
                          uint8_t mono, HistogramCallback callback, void* context) {
  reportHistogram<uint16_t, Bgr>(ctx, image, width, height, mono, callback, context);
}
void ReportHistogram16Rgb(PLContext16* ctx, const uint16_t* image, int32_t width, int32_t height,
                          uint8_t mono, HistogramCallback callback, void* context) {
  reportHistogram<uint16_t, Rgb>(ctx, image, width, height, mono, callback, context);
}

}  // namespace kernels
