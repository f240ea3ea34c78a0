// Mirror, flip and the three turns of a finished frame, in place, for 8- and 16-bit samples.
// Frames are w x h pixels of p samples, rows padded to 4 bytes (rowStride).
#pragma once

#include <cstddef>
#include <cstdint>

#include "kernels/kernel_base.h"

namespace kernels {

// A quarter turn's scratch memory; null data when it could not be had.
struct RotateScratch {
  uint8_t* data = nullptr;
  size_t bytes = 0;
};

// Bytes a quarter turn of a w x h frame copies into the scratch.
template <typename Sample>
constexpr size_t rotateScratchBytes(int32_t w, int32_t h, uint8_t p) {
  return w < 1 || h < 1 ? 0 : rowStride<Sample>(p, w) * size_t(h) * sizeof(Sample);
}
// Bytes a frame buffer needs to hold a w x h frame in either orientation.
template <typename Sample>
constexpr size_t turnedFrameBytes(int32_t w, int32_t h, uint8_t p) {
  const size_t a = rotateScratchBytes<Sample>(w, h, p), b = rotateScratchBytes<Sample>(h, w, p);
  return a > b ? a : b;
}

// Bit 0 mirrors left-right, bit 1 flips top-bottom (whole padded rows).
void FlipImage8(int32_t flip, int32_t w, int32_t h, uint8_t* frame, uint8_t p);
void FlipImage16(int32_t flip, int32_t w, int32_t h, uint16_t* frame, uint8_t p);
void FlipVertical8(int32_t w, int32_t h, uint8_t* frame, uint8_t p);
void FlipVertical16(int32_t w, int32_t h, uint16_t* frame, uint8_t p);

// Quarter turns: the frame becomes h x w. Refused (false, frame untouched) when the frame
// buffer (frameBytes) cannot hold both orientations or the scratch cannot hold the frame.
// Ccw: the last pixel of memory row 0 starts the new row 0. Cw: the first of the last row.
bool RotateCcw8(uint8_t* frame, size_t frameBytes, RotateScratch scratch, int32_t w, int32_t h,
                uint8_t p);
bool RotateCcw16(uint16_t* frame, size_t frameBytes, RotateScratch scratch, int32_t w, int32_t h,
                 uint8_t p);
bool RotateCw8(uint8_t* frame, size_t frameBytes, RotateScratch scratch, int32_t w, int32_t h,
               uint8_t p);
bool RotateCw16(uint16_t* frame, size_t frameBytes, RotateScratch scratch, int32_t w, int32_t h,
                uint8_t p);

// Half turn in place, no scratch; an odd middle row is mirrored.
void Rotate180_8(int32_t w, int32_t h, uint8_t* frame, uint8_t p);
void Rotate180_16(int32_t w, int32_t h, uint16_t* frame, uint8_t p);

}  // namespace kernels
