// The integer forms of the vignette amount and midpoint, shared by the camera and the filter.
#pragma once

#include <cmath>
#include <cstdint>
#include <numbers>

// An integer amount n is n degrees scaled by 0.6; a midpoint n is n percent of 0.25.
inline constexpr double kDegreesPerHalfTurn = 180.0;
inline constexpr double kVignetteAmountScale = 0.6;
inline constexpr double kPercent = 100.0;
inline constexpr double kVignetteMidPointSpan = 0.25;
inline constexpr double kVignetteAmountPerUnit =
    std::numbers::pi / kDegreesPerHalfTurn * kVignetteAmountScale;
inline constexpr double kVignetteMidPointPerUnit = kVignetteMidPointSpan / kPercent;

// Evaluated step by step in this order, not through the folded per-unit constants: folding
// rounds differently and hands hosts a value one bit off for many integers.
inline double VignetteAmountFromInt(int32_t n) {
  return n * std::numbers::pi / kDegreesPerHalfTurn * kVignetteAmountScale;
}

inline double VignetteMidPointFromInt(int32_t n) {
  return n / kPercent * kVignetteMidPointSpan;
}

// Back to the integer form, to the nearest unit: truncating would read back one lower for most
// amounts, whose conversion lands just below the whole number. The stored values are clamped
// (amount -100..100, midpoint 0..0.25), so the results stay well inside 32 bits.
inline int32_t VignetteAmountToInt(double amount) {
  return static_cast<int32_t>(std::lround(amount / kVignetteAmountPerUnit));
}

inline int32_t VignetteMidPointToInt(double midpoint) {
  return static_cast<int32_t>(std::lround(midpoint / kVignetteMidPointPerUnit));
}
