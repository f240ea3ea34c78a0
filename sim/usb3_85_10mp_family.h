// The USB3 8.5 MP and 10 MP sensors: the output size latches when a held group is released, the
// window and frame length are checked against it, the clock follows the PLL registers, and frames
// flow while streaming is on after the start-up; stays in step with
// models/sensors/usb3_85_10mp_sensor.cpp.
#pragma once

#include <string>

#include "sim/held_group_map.h"

namespace sim {

class Usb3Mp85Family final : public HeldGroupMap {
 public:
  std::string writeRegister(uint16_t reg, uint16_t value) override;
  bool streaming() const override;
  uint32_t exposureUs() const override;
  uint32_t gainPercent() const override;
  uint32_t trailerBytes(uint16_t revision) const override { return revision >= 3 ? 1 : 0; }
  uint32_t lineUs() const override;

 private:
  double clockMHz() const;  // 0 before the clock tree is programmed
  std::string frameError_;  // what the last released group got wrong; empty when it agrees
};

}  // namespace sim
