// Dark-field calibration: frames of the covered sensor summed to a mean dark frame, and the hot
// pixels found in it. Callers hold mtxDfc.
#pragma once

#include <cstdint>
#include <vector>

#include "kernels/calibration.h"
#include "pipeline/pl_context.h"

inline constexpr double kHotMeanMax = 64;  // a mean above this (8-bit units): the frame is lit
inline constexpr double kHotMargin = 16;   // a hot pixel lies this far above the mean

// The hot pixels of a dark frame (w x h samples of `bits`): interior pixels (two from every
// border) whose value, weighted by its channel's luma share on colour frames (none on grey) and
// brought to 8-bit units, exceeds the interior mean by more than kHotMargin. False, and the
// list untouched, when the mean exceeds kHotMeanMax or there is no interior.
template <typename Sample>
bool FindHotPixels(const Sample* dark, uint32_t w, uint32_t h, uint8_t bits,
                   const ColourSiteTable* sites, uint32_t bayer, bool bgr,
                   std::vector<HotPixel>& list);

// The state's hot-pixel list rebuilt from its dark table (w x h, `bayer` its first sample's
// order); replaced, never appended to, so that one dark frame gives one list.
template <typename Sample>
void DfcFindHotPixels(PLContextT<Sample>& ctx, uint32_t w, uint32_t h, uint32_t bayer);

// Adds one raw frame to the sums; once the run has its frames the dark table becomes the mean
// over the frames taken (saturated), the hot-pixel list is rebuilt and the run ends.
void AccumulateDfc(PLContext& ctx, const uint8_t* frame, uint32_t w, uint32_t h, uint32_t bayer);
void AccumulateDfc16(PLContext16& ctx, const uint16_t* frame, uint32_t w, uint32_t h,
                     uint32_t bayer);
inline void AccumulateDfc(PLContext16& ctx, const uint16_t* frame, uint32_t w, uint32_t h,
                          uint32_t bayer) {
  AccumulateDfc16(ctx, frame, w, h, bayer);
}

// RGB-input frames: three sums per pixel; at the end three dark planes, plane k serving pixel
// byte 2 - k. Bgr: pixel bytes 0, 1, 2 to sums 0, 1, 2; Rgb: bytes 2, 1, 0.
void AccumulateDfcBmpBgr(PLContext& ctx, const uint8_t* frame, uint32_t w, uint32_t h);
void AccumulateDfcBmpRgb(PLContext& ctx, const uint8_t* frame, uint32_t w, uint32_t h);
void DfcAverage3Bgr(PLContext& ctx, uint32_t w, uint32_t h);
void DfcAverage3Rgb(PLContext& ctx, uint32_t w, uint32_t h);
