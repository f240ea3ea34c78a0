// Per-pixel steps on a finished 8-bit image: a table for each of red, green and blue, and
// 16.16 gain planes or dark planes for each byte position.
#pragma once

#include <array>
#include <cstdint>

#include "kernels/kernel_base.h"

namespace kernels {

// The three per-colour inputs, in red, green, blue order whatever the image's byte order.
template <typename T>
struct ColourPlanes {
  const T* red;
  const T* green;
  const T* blue;
};

// Rows of w pixels of the layout's size, padded to 4 bytes; a fourth sample stays as it is.
// Each colour byte becomes its colour's table entry (256 entries each).
void ApplyColourTables(const Layout& l, int32_t w, int32_t h, uint8_t* image,
                       ColourPlanes<uint8_t> tables);
// Calibration planes by position, as the builders make them: plane k serves byte 2 - k of every
// pixel in either byte order. Each holds w x h values, pixel by pixel in memory order.
template <typename T>
using BytePlanes = std::array<const T*, 3>;

// Byte v at position 2 - k becomes min(255, (v x gain) >> 16) with its pixel's gain of plane k.
void ApplyGainPlanes(const Layout& l, int32_t w, int32_t h, uint8_t* image,
                     BytePlanes<uint32_t> gains);
// Byte v at position 2 - k loses d, its pixel's value of plane k, stopping at 0.
void SubtractDarkPlanes(const Layout& l, int32_t w, int32_t h, uint8_t* image,
                        BytePlanes<uint8_t> dark);

}  // namespace kernels
