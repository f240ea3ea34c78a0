// What the sensors with a held register group share (the USB2 8 to 14 MP, the USB3 14 MP, 8.5 and
// 10 MP): their register addresses and gain code, a soft reset that forgets every program and the
// output size, and the output size latched when the held group is released.
#pragma once

#include <string>

#include "sim/register_map.h"

namespace sim {

namespace held_group {
inline constexpr uint16_t kStreaming = 0x0100, kSoftReset = 0x0103, kHold = 0x0104;
inline constexpr uint16_t kWidth = 0x034C, kHeight = 0x034E, kMultiplier = 0x0306;
inline constexpr uint16_t kControl = 0x301A, kStreamBit = 1u << 2;
inline constexpr uint16_t kLineLength = 0x300C, kIntegration = 0x3012, kGreenGain = 0x3056;
inline constexpr uint16_t kXStart = 0x0344, kYStart = 0x0346, kXEnd = 0x0348, kYEnd = 0x034A;
inline constexpr uint16_t kReadMode = 0x3040, kFrameLength = 0x300A;

// The gain code of the 8 to 10 MP and the 8.5 and 10 MP sensors, whose bands double: y = 1.05 x
// the percentage, then 0x1000 + y, 0x1080 + y / 2, 0x1180 + y / 4, 0x1980 + y / 8, 0x2980 + y / 8.
constexpr uint16_t doublingGainCode(uint32_t percent) {
  const uint32_t y = percent * 105 / 100;
  if (y < 127) return uint16_t(0x1000 + y);
  if (y < 254) return uint16_t(0x1080 + y / 2);
  if (y < 508) return uint16_t(0x1180 + y / 4);
  if (y < 1016) return uint16_t(0x1980 + y / 8);
  return uint16_t(0x2980 + y / 8);
}
}  // namespace held_group

class HeldGroupMap : public RegisterMap {
 public:
  uint32_t width() const override { return width_; }
  uint32_t height() const override { return height_; }

 protected:
  // Stores a write, after a soft reset has forgotten the rest; a released group latches the
  // output size, cropColumns fewer. True for a soft reset.
  bool storeHeld(uint16_t address, uint16_t value, uint32_t cropColumns) {
    using namespace held_group;
    const bool reset = address == kSoftReset && value == 0x0100;
    if (reset) clear(), width_ = height_ = 0;
    store(address, value);
    if (address == kHold && value == 0) {
      width_ = reg(kWidth) > cropColumns ? reg(kWidth) - cropColumns : 0;
      height_ = reg(kHeight);
    }
    return reset;
  }
  // The window (0x0344 to 0x034A at the read mode's increments) against the frame delivered,
  // cropColumns fewer columns than the output size, and the frame length against its rows: an
  // error text, empty when they agree or before an output size is programmed.
  std::string frameError(uint32_t cropColumns) const;

 private:
  uint32_t width_ = 0, height_ = 0;
};

}  // namespace sim
