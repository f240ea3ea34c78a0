// Stripe steps on the demosaiced image: vignette, colour adjustment, levels and tone curve.
// Each takes a stripe as (first row, width, rows) of a padded image, so any split of the
// frame into stripes gives the same bytes.
#pragma once

#include <cstdint>

#include "kernels/kernel_base.h"

namespace kernels {

// Pixels of p samples (1, 3 or 4; one is the grey pixel (v, v, v), of which the first byte is
// kept). Scales each pixel's luma by gain[its radius index], keeping its
// colour difference. The radius table starts at the stripe's first pixel; indices are clamped to
// the gainCount gains.
void ApplyVignetteBgr(uint8_t p, uint8_t* stripe, int32_t width, int32_t rows,
                      const int32_t* radius, const double* gain, uint32_t gainCount, uint8_t bits);
void ApplyVignetteRgb(uint8_t p, uint8_t* stripe, int32_t width, int32_t rows,
                      const int32_t* radius, const double* gain, uint32_t gainCount, uint8_t bits);
void ApplyVignette16Bgr(uint8_t p, uint16_t* stripe, int32_t width, int32_t rows,
                        const int32_t* radius, const double* gain, uint32_t gainCount,
                        uint8_t bits);
void ApplyVignette16Rgb(uint8_t p, uint16_t* stripe, int32_t width, int32_t rows,
                        const int32_t* radius, const double* gain, uint32_t gainCount,
                        uint8_t bits);

// What the colour adjustment reads. Tables indexed by a sample hold 256 or 65536 entries.
template <typename Sample>
struct ColourAdjust {
  uint8_t mono = 0, hwColour = 0, swTone = 0, matrixOn = 0;
  const double *lumaR = nullptr, *lumaG = nullptr, *lumaB = nullptr;
  const double* hueSat = nullptr;  // 3 x 3 row-major; the mono path reads row 0
  const Sample* tone = nullptr;    // T: contrast, brightness, gamma
  const int32_t* coef = nullptr;   // nine Q14 coefficients, rows output R, G, B
  int32_t contrast = 0, gamma = 100, hue = 0, saturation = 128, brightness = 0;
  uint8_t bits = 8, p = 3;
};

// Hue/saturation and colour matrix in Q14 (64-bit sums), tone table, or luma for mono.
void AdjustColorBgr(const ColourAdjust<uint8_t>& a, uint8_t* stripe, int32_t width, int32_t rows);
void AdjustColorRgb(const ColourAdjust<uint8_t>& a, uint8_t* stripe, int32_t width, int32_t rows);
void AdjustColor16Bgr(const ColourAdjust<uint16_t>& a, uint16_t* stripe, int32_t width,
                      int32_t rows);
void AdjustColor16Rgb(const ColourAdjust<uint16_t>& a, uint16_t* stripe, int32_t width,
                      int32_t rows);

template <typename Sample>
struct LevelTables {
  uint8_t mono = 0;
  const Sample* gray = nullptr;
  const double *lumaR = nullptr, *lumaG = nullptr, *lumaB = nullptr;
  const Sample *red = nullptr, *green = nullptr, *blue = nullptr;  // by colour, not position
  uint8_t p = 3;
};

// Colour: each sample through its colour's table. Mono: the luma (low 8 or 16 bits) through gray.
// One sample a pixel (p 1) is the grey pixel (v, v, v), of which the first byte is kept.
void ApplyLevelsBgr(const LevelTables<uint8_t>& t, uint8_t* stripe, int32_t width, int32_t rows);
void ApplyLevelsRgb(const LevelTables<uint8_t>& t, uint8_t* stripe, int32_t width, int32_t rows);
void ApplyLevels16Bgr(const LevelTables<uint16_t>& t, uint16_t* stripe, int32_t width,
                      int32_t rows);
void ApplyLevels16Rgb(const LevelTables<uint16_t>& t, uint16_t* stripe, int32_t width,
                      int32_t rows);

// A tone table and its length; samples past the end read the last entry.
template <typename Sample>
struct ToneLut {
  const Sample* table = nullptr;
  uint32_t count = 0;
  explicit operator bool() const { return table && count; }
};

// The first three samples of every pixel through the table.
void ApplyToneLut(const ToneLut<uint8_t>& lut, int32_t width, int32_t rows, uint8_t* stripe,
                  uint8_t p);
void ApplyToneLut16(const ToneLut<uint16_t>& lut, int32_t width, int32_t rows, uint16_t* stripe,
                    uint8_t p);

// The built-in tone curves: 8 bits, and 10, 12, 14 or (any other depth) 16 bits.
ToneLut<uint8_t> BuiltInToneLut8();
ToneLut<uint16_t> BuiltInToneLut16(uint8_t bits);

}  // namespace kernels
