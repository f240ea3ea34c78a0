// What the USB2 sensors share in the simulator: a register file that a reset clears, no trailer,
// and a line in microseconds from its clock.
#pragma once

#include <cmath>
#include "sim/register_map.h"

namespace sim {

class Usb2RegisterMap : public RegisterMap {
 public:
  uint32_t trailerBytes(uint16_t) const override { return 0; }

 protected:
  // Rounded up, plus one: every exposure check's tolerance.
  static uint32_t lineUsOf(uint32_t lineClock, uint32_t clockMHz) {
    return static_cast<uint32_t>(std::ceil(double(lineClock) / clockMHz)) + 1;
  }
  static uint32_t exposureOf(uint32_t lines, uint32_t lineClock, uint32_t clockMHz) {
    return static_cast<uint32_t>(uint64_t{lines} * lineClock / clockMHz);
  }
  // The smallest percentage whose scaled value v = percent x scale / 100 reaches v.
  static uint32_t percentOf(uint32_t v, uint32_t scale) { return (v * 100 + scale - 1) / scale; }
};

}  // namespace sim
