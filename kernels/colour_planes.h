// Per-colour steps on a finished 8-bit image: a table, a 16.16 gain plane or a dark plane for
// each of red, green and blue.
#pragma once

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
// Each colour byte v becomes min(255, (v x gain) >> 16) with its pixel's gain of its colour;
// planes hold w x h values, pixel by pixel in memory order.
void ApplyGainPlanes(const Layout& l, int32_t w, int32_t h, uint8_t* image,
                     ColourPlanes<uint32_t> gains);
// Each colour byte v loses d, its pixel's dark value of its colour, stopping at 0.
void SubtractDarkPlanes(const Layout& l, int32_t w, int32_t h, uint8_t* image,
                        ColourPlanes<uint8_t> dark);

}  // namespace kernels
