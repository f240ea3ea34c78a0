// Flat-field calibration: the summed frames of an evenly lit field to per-pixel 16.16 gains that
// bring every pixel to the mean of its channel. Callers hold mtxFfc; each build ends the run.
#pragma once

#include <cstdint>

#include "pipeline/pl_context.h"

inline constexpr uint32_t kFfcUnity = 65536;  // a gain of 1.0

// trunc(total x 65536 / (max(sum, 1) x count)) exactly, saturated at 0xFFFFFFFF; 0 for count 0.
// A pixel that summed 0 counts as 1: its gain is large and finite.
uint32_t FlatGain(uint64_t total, uint32_t sum, uint64_t count);

// Colour mosaic sums (w x h, `bayer` the first sample's order) to the gain table; no table when a
// channel summed 0. The twins differ only in the names the colour sites carry.
template <typename Sample>
void FfcBuildGainsBgr(PLContextT<Sample>& ctx, uint32_t w, uint32_t h, uint32_t bayer);
template <typename Sample>
void FfcBuildGainsRgb(PLContextT<Sample>& ctx, uint32_t w, uint32_t h, uint32_t bayer);
// Grey sums to the gain table; `bayer` is unused (the drivers share one signature).
template <typename Sample>
void FfcFromFramesMono(PLContextT<Sample>& ctx, uint32_t w, uint32_t h, uint32_t bayer);

// RGB-input frames: three sums per pixel to three gain planes; plane k serves pixel byte 2 - k.
void FfcBuildGains3Bgr(PLContext& ctx, uint32_t w, uint32_t h);
void FfcBuildGains3Rgb(PLContext& ctx, uint32_t w, uint32_t h);

// Adds one RGB-input frame (the state's bytes per pixel, rows padded to 4 bytes) to the sums and
// builds the planes once the run has its frames. Bgr: pixel bytes 0, 1, 2 to sums 0, 1, 2; Rgb:
// bytes 2, 1, 0.
void AccumulateFfcBmpBgr(PLContext& ctx, const uint8_t* frame, uint32_t w, uint32_t h);
void AccumulateFfcBmpRgb(PLContext& ctx, const uint8_t* frame, uint32_t w, uint32_t h);
