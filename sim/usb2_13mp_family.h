// The USB2 1.3 MP paged sensor: written only through request 0x13, page 0xF0, its line set by the
// bridge clock; stays in step with models/sensors/usb2_13mp_sensor.cpp.
#pragma once

#include "sim/usb2_register_map.h"

namespace sim {

class Usb2Mp13Family final : public Usb2RegisterMap {
 public:
  std::string writeRegister(uint16_t reg, uint16_t value) override;
  uint8_t writeRequest() const override { return 0x13; }
  uint8_t readRequest() const override { return 0x12; }
  void bridgeClock(uint16_t code) override { clockCode_ = code; }
  bool streaming() const override;
  uint32_t width() const override;
  uint32_t height() const override;
  uint32_t exposureUs() const override;
  uint32_t gainPercent() const override;
  uint32_t lineUs() const override;

 private:
  uint32_t factor() const;  // 1, 2 or 4 by the read mode; 0 unknown
  uint32_t lineClock() const;
  uint16_t clockCode_ = 0;
};

}  // namespace sim
