// Usb2Mp51Family: reset, read-out modes, the PLL and the gain codes of the USB2 5.1 MP sensor.
#include "sim/usb2_51mp_family.h"

#include <cmath>

namespace sim {
namespace {
constexpr uint16_t kReset = 0x0D, kPllControl = 0x10, kPllOn = 0x53, kRowMode = 0x22;

uint16_t codeOf(uint32_t x) {
  const uint32_t c = x * 12 / 100;
  if (c >= 8 && c <= 63) return uint16_t(0x100 + c);
  if (c >= 64 && c <= 119) return uint16_t(0x100 + c / 2 + 64);
  return 0x10C;
}
}  // namespace

std::string Usb2Mp51Family::writeRegister(uint16_t address, uint16_t value) {
  if (address == kReset && value == 1) clear();
  store(address, value);
  return {};
}

uint32_t Usb2Mp51Family::factor() const {
  switch (reg(kRowMode)) {
    case 0x01:
    case 0x11:
      return 2;
    case 0x03:
    case 0x33:
      return 4;
    default:
      return 1;
  }
}

uint32_t Usb2Mp51Family::width() const {
  return written(0x04) ? (reg(0x04) + 1u) / factor() : 0;
}
uint32_t Usb2Mp51Family::height() const {
  return written(0x03) ? (reg(0x03) + 1u) / factor() : 0;
}

double Usb2Mp51Family::clockMHz() const {
  if (reg(kPllControl) != kPllOn) return 0;
  return 12.0 * (reg(0x11) >> 8) / (reg(0x12) + 1.0);
}

bool Usb2Mp51Family::streaming() const {
  return reg(kReset) == 0 && written(kReset) && clockMHz() > 0 && width() && height();
}

uint32_t Usb2Mp51Family::exposureUs() const {
  const double f = clockMHz();
  return f > 0 ? static_cast<uint32_t>(std::lround(double(reg(0x09)) * lineClocks() / f)) : 0;
}

uint32_t Usb2Mp51Family::lineUs() const {
  const double f = clockMHz();
  return f > 0 ? static_cast<uint32_t>(std::ceil(lineClocks() / f)) + 1 : 0;
}

// The lowest gain is 100 %: below it every code is the fallback's.
uint32_t Usb2Mp51Family::gainPercent() const {
  for (uint32_t percent = 100; percent <= 500; ++percent)
    if (codeOf(percent) == reg(0x2B)) return percent;
  return 100;
}

}  // namespace sim
