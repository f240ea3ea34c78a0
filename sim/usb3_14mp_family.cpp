// Usb3Mp14Family: readiness, held groups, the clock tree, the window check, the FPGA crop and the
// gain codes of the 14 MP sensor.
#include "sim/usb3_14mp_family.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace sim {
namespace {
using namespace held_group;
constexpr double kExposureOffset = 1340.0;
constexpr uint8_t kReady = 0x2E;
constexpr uint32_t kAltExtraColumns = 4;

// The clock trees each chip runs (0x0300, 0x0302, 0x0308, 0x030A, 0x0304, 0x0306) and the clock
// the exposure counts in; the normal chip has one per link.
struct ClockTree {
  bool alternative;
  std::array<uint16_t, 6> dividers;
  double mhz;
};
constexpr std::array<uint16_t, 6> kTreeRegs{0x0300, 0x0302, 0x0308, 0x030A, 0x0304, 0x0306};
constexpr ClockTree kTrees[] = {
    {false, {4, 1, 8, 1, 6, 115}, 95.83},
    {false, {8, 2, 8, 4, 4, 128}, 95.83},
    {true, {4, 1, 12, 1, 8, 66}, 99.0},
};

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
  const uint32_t crop = alternative_ ? kAltExtraColumns : 0;
  if (storeHeld(address, value, crop)) running_ = false, frameError_.clear();
  // Standby (0x0100 = 0) stops the stream; leaving it, or a control write with the stream bit,
  // starts it again.
  if (address == kStreaming) running_ = value == 0x0100;
  if (address == kControl) running_ = (value & kStreamBit) != 0;
  if (address != kHold || value != 0) return {};
  frameError_ = frameError(crop);
  if (frameError_.empty() && written(kMultiplier) && clockMHz() == 0)
    frameError_ = "clock tree this chip does not run: no frames";
  return frameError_;
}

// The clock of the tree programmed, 0 for one this chip does not run.
double Usb3Mp14Family::clockMHz() const {
  for (const ClockTree& t : kTrees) {
    bool same = t.alternative == alternative_;
    for (size_t i = 0; i < kTreeRegs.size(); ++i) same = same && reg(kTreeRegs[i]) == t.dividers[i];
    if (same) return t.mhz;
  }
  return 0;
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
  return running_ && (reg(kControl) & kStreamBit) && clockMHz() > 0 && reg(kHold) == 0 && width() &&
         height() && fpgaAgrees && frameError_.empty();
}

uint32_t Usb3Mp14Family::exposureUs() const {
  if (clockMHz() <= 0) return 0;
  return static_cast<uint32_t>((double(reg(kIntegration)) * reg(kLineLength) + kExposureOffset) /
                               clockMHz());
}

uint32_t Usb3Mp14Family::lineUs() const {
  if (clockMHz() <= 0) return 0;
  return static_cast<uint32_t>(std::ceil(reg(kLineLength) / clockMHz())) + 1;
}

uint32_t Usb3Mp14Family::gainPercent() const {
  for (uint32_t percent = 1; percent <= 500; ++percent)
    if (codeOf(percent) == reg(kGreenGain)) return percent;
  return 100;
}

}  // namespace sim
