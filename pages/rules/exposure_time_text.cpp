// The exposure-time dialog's typed milliseconds.
#include "pages/rules/exposure_time_text.h"

#include <charconv>
#include <cmath>

ExposureTextResult ParseExposureTimeText(std::string_view text, uint32_t minUs, uint32_t maxUs) {
  if (text.empty()) return {ExposureTextError::Empty, 0};
  double ms = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, ms, std::chars_format::general);
  if (stop != end || (error != std::errc() && error != std::errc::result_out_of_range) ||
      std::isnan(ms))
    return {ExposureTextError::Invalid, 0};
  // Too large a number is out of range like any other; from_chars leaves ms untouched for it.
  if (error == std::errc::result_out_of_range) return {ExposureTextError::OutOfRange, 0};
  // Compared in double: a time is converted only once it is known to fit.
  const double us = std::trunc(ms * 1000.0);
  if (!(us >= double(minUs) && us <= double(maxUs))) return {ExposureTextError::OutOfRange, 0};
  return {ExposureTextError::None, uint32_t(us)};
}

const char* ExposureTextMessage(ExposureTextError error) {
  switch (error) {
    case ExposureTextError::Empty:
      return "The exposure time must not be empty.";
    case ExposureTextError::Invalid:
      return "The exposure time is invalid.";
    case ExposureTextError::OutOfRange:
      return "The exposure time is out of range.";
    case ExposureTextError::None:
      break;
  }
  return nullptr;
}
