// 8-bit luma of blue-green-red rows, the grey output of a 24-bit frame.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kernels/output.h"

namespace kernels {

// The sum of the three byte luma tables (each product truncated): white gives 254.
inline uint8_t LumaOf(const LumaTables& t, uint8_t r, uint8_t g, uint8_t b) {
  return static_cast<uint8_t>(t.greenByte[g] + t.redByte[r] + t.blueByte[b]);
}
inline uint8_t LumaOf(uint8_t r, uint8_t g, uint8_t b) {
  return LumaOf(GetLumaTables(), r, g, b);
}

// Rows of width 3-byte pixels (blue, green, red) to width luma bytes.
void BgrToLuma(const uint8_t* src, size_t srcStride, uint8_t* dst, size_t dstStride, uint32_t width,
               uint32_t height);

namespace luma {
// Pixels of one row done with AVX2; the caller finishes the rest.
uint32_t rowAvx2(const uint8_t* src, uint8_t* dst, uint32_t width);
}  // namespace luma

}  // namespace kernels
