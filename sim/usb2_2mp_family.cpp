// Usb2Mp2Family: the 2 MP sensor's window, reduced read-out, line period and gain codes.
#include "sim/usb2_2mp_family.h"

namespace sim {
namespace {
constexpr uint16_t kLastRow = 0x03, kLastColumn = 0x04, kHBlank = 0x05, kLines = 0x09;
constexpr uint16_t kClock = 0x0A, kReset = 0x0D, kRowMode = 0x22, kGreenGain = 0x2B;
constexpr uint16_t kReducedMode = 0x0011;
constexpr uint32_t kClockMHz = 48;
// Pixel clocks of a line beyond the horizontal blanking, by read-out.
constexpr uint32_t kFullLine = 1969, kReducedLine = 1495, kWindowLine = 1145,
                   kPelvaneWindowLine = 1169;
}  // namespace

std::string Usb2Mp2Family::writeRegister(uint16_t address, uint16_t value) {
  if (address == kReset && value == 1) clear();
  store(address, value);
  return {};
}

bool Usb2Mp2Family::reduced() const {
  return reg(kRowMode) == kReducedMode;
}

uint32_t Usb2Mp2Family::lineClock() const {
  const uint16_t clock = reg(kClock);
  if (clock < 0x8000 || clock > 0x8002) return 0;
  const uint32_t divider = 1u << (clock - 0x8000);
  const uint32_t active = reduced()                  ? kReducedLine
                          : reg(kLastColumn) == 1599 ? kFullLine
                          : pelvane_                 ? kPelvaneWindowLine
                                                     : kWindowLine;
  return divider * (reg(kHBlank) + active);
}

bool Usb2Mp2Family::streaming() const {
  return reg(kLastColumn) != 0 && reg(kReset) == 0 && lineClock() != 0;
}

uint32_t Usb2Mp2Family::width() const {
  return (reg(kLastColumn) + 1u) / (reduced() ? 2 : 1);
}
uint32_t Usb2Mp2Family::height() const {
  return (reg(kLastRow) + 1u) / (reduced() ? 2 : 1);
}

uint32_t Usb2Mp2Family::exposureUs() const {
  return exposureOf(reg(kLines), lineClock(), kClockMHz);
}

uint32_t Usb2Mp2Family::lineUs() const {
  return lineUsOf(lineClock(), kClockMHz);
}

uint32_t Usb2Mp2Family::gainPercent() const {
  const uint32_t code = reg(kGreenGain) & 0xFFu;
  return percentOf(code < 64 ? code : (code - 64) * 2, 15);
}

}  // namespace sim
