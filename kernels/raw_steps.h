// Steps on the raw frame before demosaicing, and the mono output conversion and table.
#pragma once

#include <cstdint>

#include "kernels/kernel_base.h"

namespace kernels {

// Each sample loses its site's offset (R, G, B), stopping at 0. The 8-bit form uses the low
// byte of each offset. Raw rows are w samples, unpadded. A Bayer order past 3 changes nothing.
void SubtractBlackLevel(uint32_t b, const uint16_t offsets[3], int32_t w, int32_t h, uint8_t* raw);
void SubtractBlackLevel16(uint32_t b, const uint16_t offsets[3], int32_t w, int32_t h,
                          uint16_t* raw);

// Each sample becomes its site's table entry; tables hold 256 (8-bit) or 65536 entries.
void ApplyRawWb(uint32_t b, const uint8_t* red, const uint8_t* green, const uint8_t* blue,
                int32_t w, int32_t h, uint8_t* raw);
void ApplyRawWb16(uint32_t b, const uint16_t* red, const uint16_t* green, const uint16_t* blue,
                  int32_t w, int32_t h, uint16_t* raw);

// Each sample becomes table[min(sample, count - 1)]; rows are w samples, unpadded.
void ApplyRawLut(const uint8_t* table, uint32_t count, int32_t w, int32_t h, uint8_t* raw);

// Each raw sample fills its output pixel, rows placed by the row order: p 1 one sample, 4 three
// and a 0, 3 three; other pixel sizes are left alone.
void SpreadMono(const Layout& l, int32_t w, int32_t h, const uint8_t* raw, uint8_t* out);
void SpreadMono(const Layout& l, int32_t w, int32_t h, const uint16_t* raw, uint16_t* out);

// One sample per pixel: each through the table; else the first sample's entry into the first
// three. Tables hold 256 or 65536 entries.
void ApplyMonoLut(const uint8_t* table, int32_t w, int32_t h, uint8_t* image, uint8_t p);
void ApplyMonoLut16(const uint16_t* table, int32_t w, int32_t h, uint16_t* image, uint8_t p);

}  // namespace kernels
