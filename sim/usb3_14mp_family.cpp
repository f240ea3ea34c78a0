// Usb3Mp14Family: readiness, held groups, the FPGA crop and the gain codes of the 14 MP sensor.
#include "sim/usb3_14mp_family.h"

#include <algorithm>
#include <cmath>

namespace sim {
namespace {
using namespace held_group;
constexpr double kExposureOffset = 1340.0;
constexpr uint8_t kReady = 0x2E;
constexpr uint32_t kAltExtraColumns = 4;

uint16_t codeOf(uint32_t percent) {
  const uint32_t y = percent * 105 / 100;
  if (y < 127) return uint16_t(0x1000 + y);
  if (y < 254) return uint16_t(0x2000 + y / 2);
  if (y < 381) return uint16_t(0x3000 + y / 3);
  if (y < 508) return uint16_t(0x4000 + y / 4);
  return 127;
}
}  // namespace

std::string Usb3Mp14Family::writeRegister(uint16_t address, uint16_t value) {
  if (storeHeld(address, value, alternative_ ? kAltExtraColumns : 0)) running_ = false;
  // Standby (0x0100 = 0) stops the stream; leaving it, or a control write with the stream bit,
  // starts it again.
  if (address == kStreaming) running_ = value == 0x0100;
  if (address == kControl) running_ = (value & kStreamBit) != 0;
  return {};
}

uint32_t Usb3Mp14Family::readSensor(uint8_t* reply, uint32_t length) {
  const bool ready = notReadyReads_ != kNeverReady && reads_ >= notReadyReads_;
  ++reads_;
  const uint32_t n = std::min({length, replyBytes_, 3u});
  for (uint32_t i = 0; i < n; ++i) reply[i] = 0;
  if (n) reply[0] = ready ? kReady : 0;
  return n;
}

// The alternative's FPGA crops only when told the sensor's width as it expects it.
bool Usb3Mp14Family::streaming() const {
  const bool fpgaAgrees = !alternative_ || fpga_ == reg(kWidth) / 4 - 3;
  return running_ && (reg(kControl) & kStreamBit) && reg(kMultiplier) && reg(kHold) == 0 &&
         width() && height() && fpgaAgrees;
}

uint32_t Usb3Mp14Family::exposureUs() const {
  return static_cast<uint32_t>((double(reg(kIntegration)) * reg(kLineLength) + kExposureOffset) /
                               clockMHz());
}

uint32_t Usb3Mp14Family::lineUs() const {
  return static_cast<uint32_t>(std::ceil(reg(kLineLength) / clockMHz())) + 1;
}

uint32_t Usb3Mp14Family::gainPercent() const {
  for (uint32_t percent = 1; percent <= 500; ++percent)
    if (codeOf(percent) == reg(kGreenGain)) return percent;
  return 100;
}

}  // namespace sim
