// The RGB-input frame driver: a frame the camera delivered as packed 4:2:2, already converted
// to RGB, through calibration, balance, the colour steps and the output.
#pragma once

#include <cstdint>

#include "pipeline/pl_context.h"

// image holds the converted frame (samplesPerPixel bytes a pixel, rows padded to 4 bytes) at
// the running size and is processed in place; it must have room for the frame turned a quarter
// when a quarter turn is set. source is the frame as delivered, for the one-push measurements.
// Runs on the calling thread only. A null ctx or image does nothing.
void PL_ProcessRgb8(PLContext* ctx, uint8_t* image, const SensorRect* roi, uint8_t binning,
                    const void* source);
// A packed 4:2:2 frame (alt: format 11, else 6) of w x h pixels, the running frame size, is
// converted into image and processed as above, with packed as the source. When no flat- or
// dark-field step is due and the frame is not resized, the black level and white balance tables
// are applied by the conversion itself. A null ctx, packed frame or image, or an empty size, does
// nothing.
void PL_ProcessPacked8(PLContext* ctx, const uint8_t* packed, bool alt, int32_t w, int32_t h,
                       uint8_t* image, const SensorRect* roi, uint8_t binning);
