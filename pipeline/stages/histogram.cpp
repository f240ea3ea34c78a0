// Histogram step: the frame's full-resolution counts in the state's counters, handed to the host.
#include <algorithm>
#include <new>

#include "base/trace.h"
#include "pipeline/pl_state_lock.h"
#include "pipeline/stages/layout.h"
#include "pipeline/stages/statistics.h"

namespace stages {
namespace {

// Mono histograms tell the host by this bit of the depth word.
constexpr uint32_t kMonoHistogramBit = 0x8000u;

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

template <typename Sample>
void reportHistogram(PLContextT<Sample>* ctx, bool bgr, const Sample* image, int32_t width,
                     int32_t height, uint8_t mono, PL_HistogramCallback callback, void* context) {
  if (!ctx || !callback) return;
  const uint32_t bits = ctx->bitDepth;
  const uint8_t p = ctx->samplesPerPixel;
  if (bits < 8 || bits > 8 * sizeof(Sample) || (!mono && !kernels::colourPixel(p)) || p < 1) return;
  uint32_t* counts = histogramCounters(*ctx, size_t{3} << (8 * sizeof(Sample)));
  if (!counts) {
    ZX_TRACE_ERROR("%s: no memory for %u counters", "ReportHistogram", 3u << bits);
    return;
  }
  kernels::CountHistogram(LayoutOf(*ctx, bgr), mono != 0, image, width, height, counts);
  callback(counts, mono ? (bits | kMonoHistogramBit) : bits, context);
  PLStateLock::leaveIfRetiredHere();  // the hook deleted the camera: nothing more of it
}

}  // namespace

void ReportHistogramBgr(PLContext* ctx, const uint8_t* image, int32_t width, int32_t height,
                        uint8_t mono, PL_HistogramCallback callback, void* context) {
  reportHistogram(ctx, true, image, width, height, mono, callback, context);
}
void ReportHistogramRgb(PLContext* ctx, const uint8_t* image, int32_t width, int32_t height,
                        uint8_t mono, PL_HistogramCallback callback, void* context) {
  reportHistogram(ctx, false, image, width, height, mono, callback, context);
}
void ReportHistogram16Bgr(PLContext16* ctx, const uint16_t* image, int32_t width, int32_t height,
                          uint8_t mono, PL_HistogramCallback callback, void* context) {
  reportHistogram(ctx, true, image, width, height, mono, callback, context);
}
void ReportHistogram16Rgb(PLContext16* ctx, const uint16_t* image, int32_t width, int32_t height,
                          uint8_t mono, PL_HistogramCallback callback, void* context) {
  reportHistogram(ctx, false, image, width, height, mono, callback, context);
}

}  // namespace stages
