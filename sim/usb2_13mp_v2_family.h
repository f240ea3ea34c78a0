// The USB2 1.3 MP second-revision sensor: 16-bit registers of 8-bit values, streaming on 0x0100,
// reset by 0x0103; stays in step with models/sensors/usb2_13mp_v2_sensor.cpp.
#pragma once

#include "sim/usb2_register_map.h"

namespace sim {

class Usb2Mp13V2Family final : public Usb2RegisterMap {
 public:
  std::string writeRegister(uint16_t reg, uint16_t value) override;
  bool streaming() const override;
  uint32_t width() const override;
  uint32_t height() const override;
  uint32_t exposureUs() const override;
  uint32_t gainPercent() const override;
  uint32_t lineUs() const override;

 private:
  uint32_t pair(uint16_t high) const { return uint32_t{reg(high)} << 8 | reg(high + 1); }
};

}  // namespace sim
