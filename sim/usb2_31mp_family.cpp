// Usb2Mp31Family: the 3.1 MP sensor's window, read-out step, line period and gain codes.
#include "sim/usb2_31mp_family.h"

#include <algorithm>
#include <array>

namespace sim {
namespace {
constexpr uint16_t kLastRow = 0x03, kLastColumn = 0x04, kHBlank = 0x05, kLines = 0x09;
constexpr uint16_t kClock = 0x0A, kReset = 0x0D, kRowMode = 0x22, kGreenGain = 0x2B;
constexpr uint32_t kClockMHz = 48;
constexpr std::array<uint32_t, 3> kStep{1, 2, 3};
// The shortest line and the clocks a line takes beyond blanking and width, by read-out.
constexpr std::array<uint32_t, 3> kMinLine{647, 1305, 1947}, kLineExtra{369, 695, 1013};
}  // namespace

std::string Usb2Mp31Family::writeRegister(uint16_t address, uint16_t value) {
  if (address == kReset && value == 1) clear();
  store(address, value);
  return {};
}

size_t Usb2Mp31Family::modeIndex() const {
  switch (reg(kRowMode)) {
    case 0x0011:
      return 1;
    case 0x0022:
      return 2;
    default:
      return 0;
  }
}

// A window past the sensor's width is read as programmed: the model widens to the step.
uint32_t Usb2Mp31Family::width() const {
  return (reg(kLastColumn) + 1u) / kStep[modeIndex()];
}
uint32_t Usb2Mp31Family::height() const {
  return (reg(kLastRow) + 1u) / kStep[modeIndex()];
}

uint32_t Usb2Mp31Family::lineClock() const {
  const uint16_t clock = reg(kClock);
  if (clock < 0x8000 || clock > 0x8002) return 0;
  const size_t i = modeIndex();
  const uint32_t divider = 1u << (clock - 0x8000);
  return divider * std::max(kMinLine[i], reg(kHBlank) + width() + kLineExtra[i]);
}

bool Usb2Mp31Family::streaming() const {
  return reg(kLastColumn) != 0 && reg(kReset) == 0 && lineClock() != 0;
}

uint32_t Usb2Mp31Family::exposureUs() const {
  return exposureOf(reg(kLines), lineClock(), kClockMHz);
}

uint32_t Usb2Mp31Family::lineUs() const {
  return lineUsOf(lineClock(), kClockMHz);
}

uint32_t Usb2Mp31Family::gainPercent() const {
  const uint32_t code = reg(kGreenGain) & 0xFFu;
  return percentOf(code < 64 ? code : (code - 64) * 2, 15);
}

}  // namespace sim
