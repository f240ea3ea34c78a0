// The cooling page's rules: the typed target temperature and the status lines.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The target the page accepts, in degrees Celsius (the camera takes tenths).
inline constexpr double kTecTargetMinC = -30.0;
inline constexpr double kTecTargetMaxC = 30.0;

enum class TecTargetStatus : uint8_t {
  Empty,       // nothing typed: nothing to apply
  Invalid,     // not one decimal number (or not a number at all)
  OutOfRange,  // a number whose tenths fall outside the range
  Ok,
};

struct TecTarget {
  TecTargetStatus status;
  int32_t tenths;  // when Ok
};

// The whole text as a decimal number of degrees; tenths truncated toward zero. The double is
// tested before it is converted, so huge and infinite values are out of range, never converted.
TecTarget ParseTecTarget(std::wstring_view text);

// Cooling power in percent of the camera's maximum; none when the camera reports no maximum
// (below 1) or no power (negative).
std::optional<double> CoolingPowerPercent(int32_t maximum, int32_t power);

// "label: value" with one decimal, as the status lines show it.
std::wstring CoolingStatusLine(std::wstring_view label, double value);
