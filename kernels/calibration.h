// Calibration kernels on a raw frame, in place: defect repair, flat field, dark subtraction and
// hot pixels. Frames are dense: w samples per row (RGB-input frames 3w bytes).
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/geometry.h"
#include "kernels/kernel_base.h"

// One factory defect of the camera's list, in sensor pixels; valid marks entries that may take
// the four-neighbour mean at once.
struct DefectPixel {
  uint32_t x, y, valid;
};

// One hot pixel found by the dark-field run, in pixels of the frame it was found in.
struct HotPixel {
  uint16_t x, y;
};

namespace kernels {

// Each entry inside the frame (or region, the sensor window the frame holds: right - left by
// bottom - top; entries then in region coordinates) takes: a side neighbour d away
// near the left or right border, the one below near the top, the four-neighbour mean inside,
// the one above near the bottom. Flagged entries with all four neighbours take the mean at
// once; the flag is not used with a region. Colour d = 2; mono d = 1 without a region, else 2.
// A frame or region under 2d in either direction is left alone.
void FixDefectPixelsColor(uint32_t count, const DefectPixel* list, int32_t w, int32_t h,
                          uint8_t* frame, const SensorRect* region);
void FixDefectPixelsColor16(uint32_t count, const DefectPixel* list, int32_t w, int32_t h,
                            uint16_t* frame, const SensorRect* region);
void FixDefectPixelsMono(uint32_t count, const DefectPixel* list, int32_t w, int32_t h,
                         uint8_t* frame, const SensorRect* region);
void FixDefectPixelsMono16(uint32_t count, const DefectPixel* list, int32_t w, int32_t h,
                           uint16_t* frame, const SensorRect* region);

// Two-byte packed pixels: flagged entries only, first byte only, from the rows above and below
// (even x also from the pixels left and right); entries without those neighbours are skipped.
void FixDefectPixelsYuv(uint32_t count, const DefectPixel* list, int32_t w, int32_t h,
                        uint8_t* frame);

// s = min(max of the depth, (s x gain) >> 16), the product in 64 bits; gains 16.16.
void ApplyFfc(int32_t w, int32_t h, uint8_t* frame, uint8_t bits, const uint32_t* gain);
void ApplyFfc16(int32_t w, int32_t h, uint16_t* frame, uint8_t bits, const uint32_t* gain);

// frame[i] - dark[i] where frame[i] is larger, else 0.
void SubtractDark8(int32_t w, int32_t h, uint8_t* frame, const uint8_t* dark);
void SubtractDark16(int32_t w, int32_t h, uint16_t* frame, const uint16_t* dark);

// The hot pixels, in list order, become the mean of their four neighbours d away; entries
// closer than d to a border of this frame are skipped.
void RepairHotPixels(const HotPixel* list, size_t count, int32_t d, int32_t w, int32_t h,
                     uint8_t* frame);
void RepairHotPixels16(const HotPixel* list, size_t count, int32_t d, int32_t w, int32_t h,
                       uint16_t* frame);
// RGB-input frames: each of the three bytes with neighbours one pixel (3 bytes, 3w bytes) away.
void RepairHotPixelsBmp(const HotPixel* list, size_t count, int32_t w, int32_t h, uint8_t* frame);

}  // namespace kernels
