// Read-mostly loops on the processed image: 256-bin statistics, the full histogram, the window
// inversion that marks the AE window.
#pragma once

#include <array>
#include <cstdint>

#include "base/geometry.h"
#include "kernels/kernel_base.h"

namespace kernels {

// Luma, red, green, blue: 256 bins each.
using StatsCounts = std::array<std::array<uint32_t, 256>, 4>;

// The luma share of each sample value per colour; at least sampleMax(bits) + 1 entries each.
struct LumaWeights {
  const double *red = nullptr, *green = nullptr, *blue = nullptr;
};

// Adds a stripe to the counts (mono: luma only, from the first sample). High-bit samples and
// luma, clamped to the depth, drop to 8 bits. Colour needs three samples per pixel and weights.
void CountStats(const Layout& l, bool mono, const LumaWeights& luma, const uint8_t* stripe,
                int32_t width, int32_t rows, StatsCounts& counts);
void CountStats(const Layout& l, bool mono, const LumaWeights& luma, const uint16_t* stripe,
                int32_t width, int32_t rows, StatsCounts& counts);

// Clears and fills 2^bits counters per channel in red, green, blue order (mono: one block) with
// every sample value clamped to the depth; `counts` holds 3 << bits entries.
void CountHistogram(const Layout& l, bool mono, const uint8_t* image, int32_t width, int32_t height,
                    uint32_t* counts);
void CountHistogram(const Layout& l, bool mono, const uint16_t* image, int32_t width,
                    int32_t height, uint32_t* counts);

// Inverts the first three samples (within the depth) of the pixels of r, whose y counts from the
// image's last memory row, clipped to the image.
void InvertRect(const Layout& l, const ImageRect& r, uint8_t* image, int32_t width, int32_t height);
void InvertRect(const Layout& l, const ImageRect& r, uint16_t* image, int32_t width,
                int32_t height);

}  // namespace kernels
