// The USB2 5.1 MP sensor: 8-bit registers, the window reduced by the read-out mode, the PLL's
// clock and a line of the output width plus twice the blank; stays in step with
// models/sensors/usb2_51mp_sensor.cpp.
#pragma once

#include "sim/usb2_register_map.h"

namespace sim {

class Usb2Mp51Family final : public Usb2RegisterMap {
 public:
  std::string writeRegister(uint16_t reg, uint16_t value) override;
  bool streaming() const override;
  uint32_t width() const override;
  uint32_t height() const override;
  uint32_t exposureUs() const override;
  uint32_t gainPercent() const override;
  uint32_t lineUs() const override;

 private:
  uint32_t factor() const;
  double clockMHz() const;  // 0 while the PLL is bypassed
  uint32_t lineClocks() const { return width() + 2u * reg(0x05); }
};

}  // namespace sim
