// 8-bit luma of blue-green-red rows, the grey output of a 24-bit frame.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kernels {

// Rounded to nearest; the weights sum to 256 so white stays 255.
inline uint8_t LumaOf(uint8_t r, uint8_t g, uint8_t b) {
  return static_cast<uint8_t>((77u * r + 150u * g + 29u * b + 128u) >> 8);
}

// Rows of width 3-byte pixels (blue, green, red) to width luma bytes.
void BgrToLuma(const uint8_t* src, size_t srcStride, uint8_t* dst, size_t dstStride, uint32_t width,
               uint32_t height);

namespace luma {
// Pixels of one row done with AVX2; the caller finishes the rest.
uint32_t rowAvx2(const uint8_t* src, uint8_t* dst, uint32_t width);
}  // namespace luma

}  // namespace kernels
