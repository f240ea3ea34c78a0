// Usb3Mp85Family: held groups, the clock tree, the window check and the gain codes of the 8.5 and
// 10 MP sensors.
#include "sim/usb3_85_10mp_family.h"

namespace sim {
namespace {
using namespace held_group;
constexpr uint32_t kExposureOffset = 1010;
constexpr double kReferenceMHz = 20.0;
constexpr uint16_t kPixelDivider = 0x0300, kSystemDivider = 0x0302, kPreDivider = 0x0304;
}  // namespace

std::string Usb3Mp85Family::writeRegister(uint16_t address, uint16_t value) {
  if (storeHeld(address, value, 0)) frameError_.clear();
  if (address != kHold || value != 0) return {};
  frameError_ = frameError(0);
  return frameError_;
}

// F = 20 x M / (D x P x S) MHz: the reference clock through the pre-divider, multiplier and the
// pixel and system dividers.
double Usb3Mp85Family::clockMHz() const {
  const double divisors = double(reg(kPreDivider)) * reg(kPixelDivider) * reg(kSystemDivider);
  return divisors ? kReferenceMHz * reg(kMultiplier) / divisors : 0;
}

bool Usb3Mp85Family::streaming() const {
  return reg(kStreaming) == 0x0100 && (reg(kControl) & kStreamBit) && clockMHz() > 0 && width() &&
         height() && reg(kHold) == 0 && frameError_.empty();
}

uint32_t Usb3Mp85Family::exposureUs() const {
  if (clockMHz() <= 0) return 0;
  return static_cast<uint32_t>((double(reg(kIntegration)) * reg(kLineLength) + kExposureOffset) /
                               clockMHz());
}

uint32_t Usb3Mp85Family::lineUs() const {
  return clockMHz() > 0 ? static_cast<uint32_t>(reg(kLineLength) / clockMHz()) + 1 : 0;
}

// The smallest percentage whose code is the green one.
uint32_t Usb3Mp85Family::gainPercent() const {
  for (uint32_t percent = 1; percent <= 2000; ++percent)
    if (doublingGainCode(percent) == reg(kGreenGain)) return percent;
  return 100;
}

}  // namespace sim
