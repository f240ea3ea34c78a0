// Usb2Mp13V2Family: output size, line length and the 12-bit line count at 48 MHz.
#include "sim/usb2_13mp_v2_family.h"

namespace sim {
namespace {
constexpr uint16_t kReset = 0x0103, kStream = 0x0100;
constexpr uint16_t kWidth = 0x3208, kHeight = 0x320A, kLine = 0x320C, kGain = 0x3E08;
constexpr uint16_t kLinesHigh = 0x3E01, kLinesLow = 0x3E02;
constexpr uint32_t kClockMHz = 48;
}  // namespace

std::string Usb2Mp13V2Family::writeRegister(uint16_t address, uint16_t value) {
  if (value > 0xFF) return "a value wider than the sensor's 8-bit registers";
  if (address == kReset && value == 1) clear();
  store(address, value);
  return {};
}

bool Usb2Mp13V2Family::streaming() const {
  return reg(kStream) == 1 && width() != 0 && height() != 0 && pair(kLine) != 0;
}

uint32_t Usb2Mp13V2Family::width() const {
  return pair(kWidth);
}
uint32_t Usb2Mp13V2Family::height() const {
  return pair(kHeight);
}

uint32_t Usb2Mp13V2Family::exposureUs() const {
  const uint32_t lines = uint32_t{reg(kLinesHigh)} << 4 | reg(kLinesLow) >> 4;
  return exposureOf(lines, pair(kLine), kClockMHz);
}

uint32_t Usb2Mp13V2Family::lineUs() const {
  return lineUsOf(pair(kLine), kClockMHz);
}

// 16 is unity.
uint32_t Usb2Mp13V2Family::gainPercent() const {
  return percentOf(pair(kGain), 16);
}

}  // namespace sim
