// Usb3Mp85Family: held groups, the clock multiplier and the gain codes of the 8.5 and 10 MP
// sensors.
#include "sim/usb3_85_10mp_family.h"

namespace sim {
namespace {
using namespace held_group;
constexpr uint32_t kExposureOffset = 1010;

struct ClockRow {
  uint16_t multiplier;
  uint32_t mhz;
};
constexpr ClockRow kClocks[] = {{40, 50}, {48, 60}, {56, 70}, {64, 80}};
}  // namespace

std::string Usb3Mp85Family::writeRegister(uint16_t address, uint16_t value) {
  storeHeld(address, value, 0);
  return {};
}

uint32_t Usb3Mp85Family::clockMHz() const {
  for (const ClockRow& c : kClocks)
    if (reg(kMultiplier) == c.multiplier) return c.mhz;
  return 0;
}

bool Usb3Mp85Family::streaming() const {
  return reg(kStreaming) == 0x0100 && (reg(kControl) & kStreamBit) && clockMHz() && width() &&
         height() && reg(kHold) == 0;
}

uint32_t Usb3Mp85Family::exposureUs() const {
  if (!clockMHz()) return 0;
  return (uint32_t{reg(kIntegration)} * reg(kLineLength) + kExposureOffset) / clockMHz();
}

uint32_t Usb3Mp85Family::lineUs() const {
  return clockMHz() ? reg(kLineLength) / clockMHz() + 1 : 0;
}

// The smallest percentage whose code is the green one.
uint32_t Usb3Mp85Family::gainPercent() const {
  for (uint32_t percent = 1; percent <= 2000; ++percent)
    if (doublingGainCode(percent) == reg(kGreenGain)) return percent;
  return 100;
}

}  // namespace sim
