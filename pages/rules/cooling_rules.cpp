// The cooling page's rules: target parsing and range, the status lines.
#include "pages/rules/cooling_rules.h"

#include <cmath>
#include <cwchar>

TecTarget ParseTecTarget(std::wstring_view text) {
  if (text.empty()) return {TecTargetStatus::Empty, 0};
  const std::wstring copy(text);  // wcstod needs a terminator
  wchar_t* end = nullptr;
  const double number = std::wcstod(copy.c_str(), &end);
  if (end == copy.c_str() || *end != L'\0' || std::isnan(number))
    return {TecTargetStatus::Invalid, 0};
  // trunc(t) lies in [-300, 300] exactly when t lies in (-301, 301).
  const double tenths = number * 10.0;
  if (!(tenths > kTecTargetMinC * 10.0 - 1.0 && tenths < kTecTargetMaxC * 10.0 + 1.0))
    return {TecTargetStatus::OutOfRange, 0};
  return {TecTargetStatus::Ok, static_cast<int32_t>(std::trunc(tenths))};
}

std::optional<double> CoolingPowerPercent(int32_t maximum, int32_t power) {
  if (maximum < 1 || power < 0) return std::nullopt;
  return power * 100.0 / maximum;
}

std::wstring CoolingStatusLine(std::wstring_view label, double value) {
  wchar_t number[64];
  std::swprintf(number, sizeof number / sizeof number[0], L"%.1f", value);
  std::wstring line(label);
  line += L": ";
  line += number;
  return line;
}
