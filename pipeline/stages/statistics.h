// Per-frame reading steps: statistics into the state, the host's histogram, the AE window mark.
#pragma once

#include <cstdint>

#include "base/host_callbacks.h"
#include "kernels/statistics.h"
#include "pipeline/pl_context.h"

namespace stages {

using kernels::StatsCounts;

// Clears and fills the counts of a stripe (mono: luma only, from the first sample). High-bit
// samples and luma, clamped to the depth, drop to 8 bits. With final set the fractions of the
// pixels counted here are stored in the state's statsF under its statistics lock (mono: luma
// into all four).
void CollectStatsBgr(PLContext* ctx, uint8_t mono, const uint8_t* stripe, int32_t width,
                     int32_t rows, uint8_t final, StatsCounts& counts);
void CollectStatsRgb(PLContext* ctx, uint8_t mono, const uint8_t* stripe, int32_t width,
                     int32_t rows, uint8_t final, StatsCounts& counts);
void CollectStats16Bgr(PLContext16* ctx, uint8_t mono, const uint16_t* stripe, int32_t width,
                       int32_t rows, uint8_t final, StatsCounts& counts);
void CollectStats16Rgb(PLContext16* ctx, uint8_t mono, const uint16_t* stripe, int32_t width,
                       int32_t rows, uint8_t final, StatsCounts& counts);

// Counts every sample value (clamped to the depth) into the state's reusable counters, 2^depth
// per channel in red, green, blue order, and calls back once (mono: one block, bits | 0x8000).
void ReportHistogramBgr(PLContext* ctx, const uint8_t* image, int32_t width, int32_t height,
                        uint8_t mono, PL_HistogramCallback callback, void* context);
void ReportHistogramRgb(PLContext* ctx, const uint8_t* image, int32_t width, int32_t height,
                        uint8_t mono, PL_HistogramCallback callback, void* context);
void ReportHistogram16Bgr(PLContext16* ctx, const uint16_t* image, int32_t width, int32_t height,
                          uint8_t mono, PL_HistogramCallback callback, void* context);
void ReportHistogram16Rgb(PLContext16* ctx, const uint16_t* image, int32_t width, int32_t height,
                          uint8_t mono, PL_HistogramCallback callback, void* context);

// One frame's AE window mark, taken with the frame's snapshot: whether the step runs, which call
// of the step this is, and the AE rectangle then.
struct AeMark {
  bool on = false;
  uint32_t call = 0;
  ImageRect rect{};
};

// The next frame's mark; counts a call when the mark is on. The caller holds mtxSettings while
// the state is shared.
AeMark NextAeMark(PLContext& ctx);
AeMark NextAeMark(PLContext16& ctx);

// Inverts the mark's rectangle (y counted from the image's last row, clipped to the image) on
// three calls of four; the first call of each four draws nothing. Samples invert within the depth.
void MarkAeWindow(const PLContext& ctx, const AeMark& mark, uint8_t* image, int32_t width,
                  int32_t height);
void MarkAeWindow16(const PLContext16& ctx, const AeMark& mark, uint16_t* image, int32_t width,
                    int32_t height);

}  // namespace stages
