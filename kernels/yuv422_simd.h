// Vector bodies of the packed 4:2:2 conversion: each converts whole blocks of pixels from a
// group boundary into 3-byte pixels and returns how many it did; the caller's scalar loop finishes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kernels::yuv {

// Each table entry is trunc(c * f) in single precision, c the centred sample. Split f into its
// whole number and a 16-bit fraction: |c| * int + (|c| * frac) >> 16, given the sign of c back.
// The fractions were chosen so every c of each table gives the same integer (the tests
// compare every sample value).
constexpr uint16_t kLumaFrac = 10747;                         // 1.164
constexpr uint16_t kBlueFrac = 1175, kRedFrac = 39063;        // 2.018, 1.596
constexpr uint16_t kUGreenFrac = 25631, kVGreenFrac = 53264;  // 0.391, 0.813

// alt: groups U, Y0, V, Y1 (else V, U, Y1, Y0); bgr: blue first in each output pixel.
size_t toRgb3Ssse3(const uint8_t* packed, uint8_t* out, size_t pixels, bool alt, bool bgr);
// The same 32 pixels a block, then the SSSE3 body for a 16-pixel block left over.
size_t toRgb3Avx2(const uint8_t* packed, uint8_t* out, size_t pixels, bool alt, bool bgr);
// Whole 32-pixel blocks only, byte k of each pixel then replaced by tables[k][byte].
size_t toRgb3TablesAvx2(const uint8_t* packed, uint8_t* out, size_t pixels, bool alt, bool bgr,
                        const uint8_t* const tables[3]);

}  // namespace kernels::yuv
