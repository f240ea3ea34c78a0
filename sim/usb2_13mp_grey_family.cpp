// Usb2Mp13GreyFamily: the grey sensor's standby, blanking lines and global gain code.
#include "sim/usb2_13mp_grey_family.h"

namespace sim {
namespace {
constexpr uint16_t kStandby = 0x00, kStandbyOn = 3, kHBlank = 0x05, kLines = 0x09, kReset = 0x0D;
constexpr uint16_t kReadMode = 0x20, kReadModeReady = 0x9104, kGain = 0x35;
constexpr uint32_t kClockMHz = 24;
}  // namespace

std::string Usb2Mp13GreyFamily::writeRegister(uint16_t address, uint16_t value) {
  if (address == kReset && value == 1) clear();
  store(address, value);
  return {};
}

uint32_t Usb2Mp13GreyFamily::lineClock() const {
  return reg(kHBlank) == 1472 ? 2977 : reg(kHBlank) == 48 ? 1553 : 0;
}

bool Usb2Mp13GreyFamily::streaming() const {
  return reg(kReset) == 0 && reg(kStandby) != kStandbyOn && reg(kReadMode) == kReadModeReady &&
         lineClock() != 0;
}

uint32_t Usb2Mp13GreyFamily::exposureUs() const {
  return exposureOf(reg(kLines), lineClock(), kClockMHz);
}

uint32_t Usb2Mp13GreyFamily::lineUs() const {
  return lineUsOf(lineClock(), kClockMHz);
}

uint32_t Usb2Mp13GreyFamily::gainPercent() const {
  const uint32_t code = reg(kGain);
  return percentOf(code < 64 ? code : (code - 64) * 2, 20);
}

}  // namespace sim
