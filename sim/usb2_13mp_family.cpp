// Usb2Mp13Family: the paged sensor's read-out reductions, bridge clock lines and gain codes.
#include "sim/usb2_13mp_family.h"

namespace sim {
namespace {
constexpr uint16_t kPage = 0xF0, kReset = 0x0D, kRunning = 0x0008, kReadMode = 0x20;
constexpr uint16_t kLines = 0x09, kGreenGain = 0x2B;
constexpr uint16_t kPageOne = 0x100;  // page 1 registers are kept apart from page 0's
constexpr uint32_t kClockMHz = 24;
constexpr uint32_t kLineByCode[] = {6704, 3352, 1676};
}  // namespace

std::string Usb2Mp13Family::writeRegister(uint16_t address, uint16_t value) {
  if (address == kReset && value == 1) clear();  // standby forgets every program
  if (address != kPage && reg(kPage) == 1) address |= kPageOne;
  store(address, value);
  return {};
}

uint32_t Usb2Mp13Family::factor() const {
  switch (reg(kReadMode)) {
    case 0x0000:
      return 1;
    case 0x000C:
      return 2;
    case 0x0030:
      return 4;
    default:
      return 0;
  }
}

uint32_t Usb2Mp13Family::lineClock() const {
  return clockCode_ >= 1 && clockCode_ <= 3 ? kLineByCode[clockCode_ - 1] : 0;
}

bool Usb2Mp13Family::streaming() const {
  return reg(kReset) == kRunning && factor() != 0 && lineClock() != 0;
}

uint32_t Usb2Mp13Family::width() const {
  return factor() ? reg(0x04) / factor() : 0;
}
uint32_t Usb2Mp13Family::height() const {
  return factor() ? reg(0x03) / factor() : 0;
}

uint32_t Usb2Mp13Family::exposureUs() const {
  return exposureOf(reg(kLines), lineClock(), kClockMHz);
}

uint32_t Usb2Mp13Family::lineUs() const {
  return lineUsOf(lineClock(), kClockMHz);
}

// The green code back to the smallest percentage that gives it.
uint32_t Usb2Mp13Family::gainPercent() const {
  const uint32_t code = reg(kGreenGain);
  const uint32_t v = code < 128 ? code : code < 384 ? (code - 128) * 2 : (code - 384) * 4;
  return percentOf(v, 44);
}

}  // namespace sim
