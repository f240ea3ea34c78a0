// Usb2Mp8To14Family: readiness, held groups, the PLL's exposure clock and the gain codes of the
// USB2 8 to 14 MP sensors.
#include "sim/usb2_8_14mp_family.h"

#include <algorithm>
#include <cmath>

namespace sim {
namespace {
using namespace held_group;
constexpr uint16_t kBinning = 0x0400;
constexpr uint32_t kAltExtraColumns = 4;

uint16_t banded(uint32_t percent, uint32_t bands) {
  const uint32_t y = percent * 105 / 100;
  for (uint32_t b = 1; b <= bands; ++b)
    if (y < 127 * b) return uint16_t(0x1000 * b + y / b);
  return 0;
}
}  // namespace

std::string Usb2Mp8To14Family::writeRegister(uint16_t address, uint16_t value) {
  // The alternative chip's bridge crops its 4 extra columns once told the read-out size.
  const uint32_t crop = alternative_ && toldSize_ ? kAltExtraColumns : 0;
  if (storeHeld(address, value, crop)) running_ = false;
  if (address == kStreaming) running_ = value == 0x0100;
  if (address == kControl) running_ = (value & kStreamBit) != 0;
  return {};
}

uint32_t Usb2Mp8To14Family::readSensor(uint8_t* reply, uint32_t length) {
  const bool ready = notReadyReads_ != kNeverReady && reads_ >= notReadyReads_;
  ++reads_;
  const uint32_t n = std::min(length, 3u);
  for (uint32_t i = 0; i < n; ++i) reply[i] = 0;
  if (n) reply[0] = ready ? (kind_ == Kind::Mp14 ? 0x2E : 0x2C) : 0;
  return n;
}

bool Usb2Mp8To14Family::altSensorReply(uint8_t* value) const {
  if (kind_ != Kind::Mp14 || altRequestFails_) return false;
  *value = alternative_ ? 1 : 0;
  return true;
}

void Usb2Mp8To14Family::writeResMode(uint16_t) {
  toldSize_ = true;
  ++resModeWrites_;
}

// F = 24 x M / (D x P x S) MHz; the alternative chip counts twice as fast.
double Usb2Mp8To14Family::clockMHz() const {
  const double divisors = double(reg(0x0304)) * reg(0x0300) * reg(0x0302);
  if (divisors == 0 || reg(0x0306) == 0) return 0;
  return 24.0 * reg(0x0306) / divisors * (kind_ == Kind::Mp14 && alternative_ ? 2 : 1);
}

// Binning at the 8 to 10 MP's reduced sizes reads two lines per line length.
uint32_t Usb2Mp8To14Family::lineClocks() const {
  const bool binned = kind_ != Kind::Mp14 && (reg(kReadMode) & kBinning);
  return uint32_t{reg(kLineLength)} * (binned ? 2 : 1);
}

bool Usb2Mp8To14Family::streaming() const {
  return running_ && (reg(kControl) & kStreamBit) && clockMHz() > 0 && reg(kHold) == 0 && width() &&
         height();
}

uint32_t Usb2Mp8To14Family::exposureUs() const {
  const double f = clockMHz();
  return f > 0 ? static_cast<uint32_t>(std::lround(double(reg(kIntegration)) * lineClocks() / f))
               : 0;
}

uint32_t Usb2Mp8To14Family::lineUs() const {
  const double f = clockMHz();
  return f > 0 ? static_cast<uint32_t>(std::ceil(lineClocks() / f)) + 1 : 0;
}

// The smallest percentage whose code is the green one.
uint32_t Usb2Mp8To14Family::gainPercent() const {
  for (uint32_t percent = 1; percent <= 500; ++percent) {
    const uint16_t code = kind_ == Kind::Mp8To10    ? doublingGainCode(percent)
                          : kind_ == Kind::Mp10Wide ? banded(percent, 7)
                                                    : banded(percent, 4);
    if (code == reg(kGreenGain)) return percent;
  }
  return 100;
}

}  // namespace sim
