// Shared layout rules of the pixel kernels: sample limits, padded rows, channel orders.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/geometry.h"

#ifdef __FAST_MATH__
#error "the pixel kernels must give the same bytes everywhere; build without -ffast-math/-Ofast"
#endif

namespace kernels {

// Largest sample value of a depth, for either sample width.
template <typename Sample>
constexpr uint32_t sampleMax(uint32_t bits) {
  if constexpr (sizeof(Sample) == 1)
    return bits >= 8 ? 255u : 255u >> (8 - bits);
  else
    return bits >= 16 || bits == 0 ? 65535u : 65535u >> (16 - bits);
}

// Samples in one padded output row of `width` pixels of p samples (rows fill 4-byte words).
template <typename Sample>
constexpr size_t rowStride(uint32_t p, int32_t width) {
  return static_cast<size_t>(
      DibRowBytes(uint64_t{p} * 8u * sizeof(Sample), static_cast<uint64_t>(width)) /
      sizeof(Sample));
}

// Image row that receives image row y: itself when rowOrder is set, else counted from the end.
constexpr int32_t outputRow(int32_t y, int32_t height, bool rowOrder) {
  return rowOrder ? y : height - 1 - y;
}

// How a frame's pixels lie in memory. Rows are padded to 4 bytes (rowStride).
struct Layout {
  uint8_t samplesPerPixel = 3;
  uint8_t bits = 8;       // sample depth
  uint8_t rowOrder = 0;   // set: image row y is memory row y; clear: rows stored bottom-up
  uint8_t byteOrder = 1;  // set: blue, green, red; clear: red, green, blue
};

// Where red and blue go inside a pixel; green is always sample 1.
struct Bgr {
  static constexpr int kRed = 2, kBlue = 0;
};
struct Rgb {
  static constexpr int kRed = 0, kBlue = 2;
};

// Colour found at each site of the four Bayer orders: [b][y & 1][x & 1], 0 red, 1 green, 2 blue.
inline constexpr uint8_t kBayerColour[4][2][2] = {
    {{1, 0}, {2, 1}},  // G R / B G
    {{0, 1}, {1, 2}},  // R G / G B
    {{2, 1}, {1, 0}},  // B G / G R
    {{1, 2}, {0, 1}},  // G B / R G
};

// Stripe steps read and write three colour samples per pixel, so they need p of 3 or 4.
constexpr bool colourPixel(uint32_t p) {
  return p == 3 || p == 4;
}

}  // namespace kernels
