// Literal, slow readings of the pixel kernels' rules; the tests hold every fast path to them.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace kernels::reference {

// Samples per padded output row.
template <typename S>
size_t stride(uint32_t p, int32_t w);

template <typename S>
void border(uint32_t b, const uint8_t* site, const S* raw, S* out, int32_t w, int32_t h,
            uint8_t bits, uint8_t p, uint8_t rowOrder);
template <typename S>
void bilinear(bool bgr, uint32_t b, const uint8_t* site, int32_t w, int32_t h, const S* raw, S* out,
              uint8_t bits, uint8_t p, uint8_t rowOrder);
template <typename S>
void vng(uint32_t b, const uint8_t* site, int32_t w, int32_t h, const S* raw, S* out, uint8_t bits,
         uint8_t p, uint8_t rowOrder);
template <typename S>
void ppg(uint32_t b, const uint8_t* site, int32_t w, int32_t h, const S* raw, S* out, uint8_t bits,
         uint8_t p, uint8_t rowOrder);
// AHD's intermediate images, 3 samples per pixel (candidates: output channel order; YCbCr: Y, Cb,
// Cr) or one value per pixel, index y * w + x.
struct AhdImages {
  std::vector<int32_t> candH, candV, yccH, yccV;
  std::vector<int64_t> eL, eC;
  std::vector<int32_t> homH, homV;
  std::vector<int32_t> chosen;  // the interior before the refinement
};
// One pixel to YCbCr at the depth's scale, clamped to 0..max.
void rgbToYcc(int32_t R, int32_t G, int32_t B, uint8_t bits, int32_t ycc[3]);
template <typename S>
AhdImages ahd(bool bgr, uint32_t b, const uint8_t* site, int32_t w, int32_t h, const S* raw, S* out,
              uint8_t bits, uint8_t p, uint8_t rowOrder);
// Unsharp mask with the n weights k on a frame of p samples a pixel (1: mono, else three colour
// samples sharpened and a fourth kept).
template <typename S>
void unsharp(const double* k, int32_t n, S* frame, int32_t w, int32_t h, uint8_t p, uint8_t bits,
             int32_t amount, int32_t threshold);
template <typename S>
void quickDemosaic(const S* raw, S* dst, int32_t w, int32_t h, int32_t limit);

template <typename S>
void blackLevel(uint32_t b, const uint16_t offsets[3], int32_t w, int32_t h, S* raw);
template <typename S>
void rawWb(uint32_t b, const S* red, const S* green, const S* blue, int32_t w, int32_t h, S* raw);
template <typename S>
void convertMono(bool rowOrder, uint8_t p, int32_t w, int32_t h, const S* raw, S* out);
template <typename S>
void monoLut(const S* table, int32_t w, int32_t h, S* image, uint8_t p);

template <typename S>
void vignette(bool bgr, uint8_t p, S* img, int32_t w, int32_t rows, const int32_t* radius,
              const double* gain, uint32_t gainCount, uint8_t bits);

// Everything the colour adjustment reads, spelled out.
template <typename S>
struct ColourArgs {
  bool mono, hw, swTone, matrixOn;
  const double *lumaR, *lumaG, *lumaB;
  const double* h;  // row 0 read
  const S* T;
  const int32_t* coef;  // nine Q14 coefficients
  int32_t contrast, gamma, hue, saturation, brightness;
  uint8_t bits, p;
};
template <typename S>
void adjustColour(bool bgr, const ColourArgs<S>& a, S* img, int32_t w, int32_t rows);
template <typename S>
void levels(bool bgr, bool mono, const S* gray, const double* lr, const double* lg,
            const double* lb, const S* red, const S* green, const S* blue, int32_t w, int32_t rows,
            S* img, uint8_t p);
template <typename S>
void toneLut(const S* table, uint32_t count, int32_t w, int32_t rows, S* img, uint8_t p);

// Counts of luma, red, green, blue; the fractions of those counts over the pixels counted.
template <typename S>
std::array<std::array<uint32_t, 256>, 4> stats(bool bgr, bool mono, const S* img, int32_t w,
                                               int32_t rows, uint8_t p, uint8_t bits,
                                               const double* lr, const double* lg,
                                               const double* lb);
template <typename S>
std::vector<uint32_t> histogram(bool bgr, bool mono, const S* img, int32_t w, int32_t h, uint8_t p,
                                uint8_t bits);
template <typename S>
void aeMark(uint32_t call, int32_t left, int32_t top, int32_t right, int32_t bottom, S* img,
            int32_t w, int32_t h, uint8_t p, uint8_t bits);

}  // namespace kernels::reference
