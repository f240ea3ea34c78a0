// The raw colour frame drivers: one raw Bayer frame to the finished image, step by step.
#pragma once

#include <cstdint>

#include "pipeline/pl_context.h"
#include "pipeline/stages/sharpen.h"

// The steps in the order the drivers run them; an observer sees each one that runs.
enum class RawStep : uint8_t {
  FfcAccumulate,
  FfcApply,
  DfcAccumulate,
  DfcApply,
  BlackBalance,
  BlackLevel,
  WhiteBalance,
  RawWb,
  RawLut,
  Demosaic,
  GreySpread,
  Vignette,
  AdjustColour,
  MonoLut,
  Statistics,
  Levels,
  ToneLut,
  StatsDelivery,
  Histogram,
  Sharpen,
  AeMark,
  Fit,
  Mirror,
  Rotate,
  Convert16To8,
};
using RawStepObserver = void (*)(RawStep step, void* context);
// For tests; not for use while a frame runs.
void SetRawStepObserver(RawStepObserver observer, void* context);

// Sizes of one run: the output frame and the processing frame before roi and binning.
struct FrameGeometry {
  uint32_t frameWidth, frameHeight, procWidth, procHeight;
};

// raw is modified in place (procWidth x procHeight of the running size, dense). out, when
// given, receives the frame: it must hold a running-size frame of samplesPerPixel in either
// orientation, rows padded to 4 bytes. Without out, and without a scratch frame to work in,
// only the raw-domain steps run. A null ctx does nothing.
void PL_ProcessRaw8(PLContext* ctx, uint8_t* raw, uint8_t* out, void* extra, const SensorRect* roi,
                    uint32_t binning, bool still);
// out holds 8-bit samples, or 16-bit ones with outputFormat 1; out16, when given, receives the
// 16-bit samples in the same geometry.
void PL_ProcessRaw16(PLContext16* ctx, uint16_t* raw, void* out, uint16_t* out16,
                     const SensorRect* roi, uint8_t binning, uint8_t still);

// Unsharp masking of the working image with the state's parameters as they are now (read once
// under mtxSettings), or with the frame's snapshot of them.
void Sharpen(PLContext& ctx, uint8_t* image, int32_t w, int32_t h);
void Sharpen16(PLContext16& ctx, uint16_t* image, int32_t w, int32_t h);
void Sharpen(PLContext& ctx, uint8_t* image, int32_t w, int32_t h, const stages::SharpenParams& sp);
void Sharpen16(PLContext16& ctx, uint16_t* image, int32_t w, int32_t h,
               const stages::SharpenParams& sp);
