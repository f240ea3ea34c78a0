// Vector bodies of the 8-bit colour adjustment. The caller has turned the matrix into memory
// positions (so one body serves both byte orders) and widened the tone table; each body does
// whole blocks from the start of the row and returns how many pixels it did.
#pragma once

#include <cstdint>

namespace kernels::colour {

struct Row8 {
  int32_t coef[9];       // by memory position: out[i] = sum coef[3i + j] * in[j]
  const uint32_t* tone;  // 256 entries
  uint32_t max;          // largest sample of the depth
  uint8_t p;             // 3 or 4
};

// Largest |coefficient| for which three 8-bit products and their sum fit a 32-bit lane:
// 3 x 255 x 2^21 < 2^31, so the vector sums equal the 64-bit ones. That is a matrix entry of
// 128; camera matrices sit near 1, and anything larger takes the scalar path.
inline constexpr int32_t kMaxLaneCoef = 1 << 21;

int32_t matrixRowAvx2(const Row8& k, uint8_t* row, int32_t width);
int32_t matrixToneRowAvx2(const Row8& k, uint8_t* row, int32_t width);
int32_t toneRowAvx2(const Row8& k, uint8_t* row, int32_t width);

}  // namespace kernels::colour
