// Colour temperature and tint to white-balance gains (256 = 1.0) and back.
#pragma once

#include <array>
#include <cstdint>

inline constexpr int32_t kTempMin = 2000, kTempMax = 15000;
inline constexpr int32_t kTintMin = 200, kTintMax = 2500;

// Relative R, G, B of a black body at kelvin, normalised so the largest is 1.
std::array<double, 3> TempToRgb(double kelvin);

// 6503 K with tint 1000 is exactly 256, 256, 256; other values are clamped to range first.
std::array<uint32_t, 3> TempTintToGain(int32_t temp, int32_t tint);

// False when the result lies outside 2000..15000 K or tint 200..2500, and for a zero gain
// (then 6503 and 1000).
bool GainToTempTint(const std::array<uint32_t, 3>& gains, int32_t& temp, int32_t& tint);
