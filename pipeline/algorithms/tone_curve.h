// The contrast/brightness/gamma tone curve and the filmic tone-mapping curve.
#pragma once

#include <cmath>
#include <cstdint>
#include <span>

// A real result as a table entry: truncated toward zero, limited to 0..tmax; NaN gives 0.
inline uint32_t TruncToEntry(double y, uint32_t tmax) {
  if (!(y > 0.0)) return 0;
  if (y >= static_cast<double>(tmax)) return tmax;
  return static_cast<uint32_t>(y);
}

// out: 2^bits entries of Entry (8-bit: bits 8). base, when not empty, is applied last and must
// hold 2^bits entries. Contrast, brightness and gamma are limited to their settings ranges.
template <typename Entry>
void CalcToneCurveLut(std::span<Entry> out, uint8_t bits, int32_t contrast, int32_t brightness,
                      int32_t gamma, std::span<const Entry> base = {});

// The filmic curve of the model's numbers a, b, c; bits 0 means the 256-entry 8-bit table,
// otherwise 2^bits entries scaled to 2^bits - 1.
template <typename Entry>
void ToneMapLut(double a, double b, double c, uint8_t bits, std::span<Entry> out);
