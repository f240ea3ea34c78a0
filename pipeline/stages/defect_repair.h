// Defect repair steps: the factory list by the state's pixel format, the dark-field hot pixels.
#pragma once

#include <cstdint>

#include "kernels/calibration.h"
#include "pipeline/pl_context.h"
#include "pipeline/pl_helper_base.h"

namespace stages {

// By the state's pixel format: raw formats to the colour or mono repair (by isColour), the
// packed 4:2:2 formats to the YUV repair, anything else untouched.
void FixDefectPixels(const PLContext* ctx, uint32_t count, const DefectPixel* list, int32_t w,
                     int32_t h, uint8_t* frame, const SensorRect* region);
void FixDefectPixels16(const PLContext16* ctx, uint32_t count, const DefectPixel* list, int32_t w,
                       int32_t h, uint16_t* frame, const SensorRect* region);
// The state matching the helper's pixel format repairs the frame: the high-bit state for formats
// over 8 bits, the 8-bit state otherwise; without that state the frame is left alone.
void FixFrameDefects(const PLHlperBase& helper, uint32_t count, const DefectPixel* list, int32_t w,
                     int32_t h, uint8_t* frame, const SensorRect* region);

// The state's hot pixels, neighbours d away (colour 2, mono 1); RGB-input frames one pixel away.
void ApplyDefectList(int32_t w, int32_t h, uint8_t* frame, const PLContext* ctx);
void ApplyDefectList16(int32_t w, int32_t h, uint16_t* frame, const PLContext16* ctx);
void ApplyDefectListBmp(int32_t w, int32_t h, uint8_t* frame, const PLContext* ctx);

}  // namespace stages
