// The USB3 5.1 MP sensor: streams once its PLL is on and its start-up and window programs have
// run, until a reset; the row clock follows the PLL's multiplier and divider; stays in step with
// models/sensors/usb3_51mp_sensor.cpp.
#pragma once

#include "sim/register_map.h"

namespace sim {

class Usb3Mp51Family final : public RegisterMap {
 public:
  std::string writeRegister(uint16_t reg, uint16_t value) override;
  bool streaming() const override;
  uint32_t width() const override;
  uint32_t height() const override;
  uint32_t exposureUs() const override;
  uint32_t gainPercent() const override;
  uint32_t trailerBytes(uint16_t revision) const override { return revision >= 3 ? 1 : 0; }
  uint32_t lineUs() const override;

 private:
  uint32_t factor() const;     // 1, 2 or 4 by the column and row mode; 0 unknown
  uint32_t lineClock() const;  // the row's length in clocks; 0 for an unknown mode
  double rowClockMHz() const;
};

}  // namespace sim
