// The exposure-time dialog's typed milliseconds: read with '.' as the decimal point in every
// language, checked against the camera's range before anything is converted.
#pragma once

#include <cstdint>
#include <string_view>

enum class ExposureTextError : uint8_t { None, Empty, Invalid, OutOfRange };

struct ExposureTextResult {
  ExposureTextError error;
  uint32_t timeUs;  // valid only without an error
};

// The microseconds (milliseconds × 1000, truncated) text stands for. Anything but a complete
// number is invalid ("12,5", "12x", "nan"); a number whose time lies outside minUs..maxUs is out of
// range ("-5", "1e20").
ExposureTextResult ParseExposureTimeText(std::string_view text, uint32_t minUs, uint32_t maxUs);
// The English message for an error (the page translates it); null for None.
const char* ExposureTextMessage(ExposureTextError error);
