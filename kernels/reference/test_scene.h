// A synthetic colour scene with known truth, its Bayer mosaic and the CPSNR of a demosaic of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kernels::reference {

// Red, green and blue per pixel, top row first, each 0 .. 2^bits - 1.
struct Scene {
  int32_t w = 0, h = 0;
  uint8_t bits = 8;
  std::vector<uint16_t> rgb;
};

// Smooth gradients, hard-edged shapes and thin lines at many angles, low-contrast rings and a
// fine texture, rendered at 4x4 samples a pixel and box-filtered. Integer arithmetic only, so
// every platform draws the same bytes.
Scene MakeScene(int32_t w, int32_t h, uint8_t bits);

// The raw frame a sensor of Bayer order b (0..3) would see: one sample a pixel, top row first.
template <typename S>
std::vector<S> Mosaic(const Scene& scene, uint32_t b);

// 10 log10(max^2 / MSE) over the three colours of the pixels at least `border` from every edge,
// max = 2^bits - 1. The image holds p samples a pixel in padded rows, channels swapped when
// byteOrder is set, top row first when rowOrder is set. Image pixel (x + dx, y + dy) is compared
// with scene pixel (x, y), for a peer that shifts its output; |dx|, |dy| must not exceed border.
template <typename S>
double Cpsnr(const Scene& scene, const S* image, uint8_t p, uint8_t bits, bool byteOrder,
             bool rowOrder, int32_t border, int32_t dx = 0, int32_t dy = 0);

// The same over an image of a given row length in samples (a peer's tightly packed rows).
template <typename S>
double CpsnrRows(const Scene& scene, const S* image, size_t rowSamples, uint8_t p, uint8_t bits,
                 bool byteOrder, bool rowOrder, int32_t border, int32_t dx, int32_t dy);

}  // namespace kernels::reference
