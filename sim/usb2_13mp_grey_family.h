// The USB2 1.3 MP grey sensor: written through request 0x13, a fixed 1280 x 1024 window, its line
// by the horizontal blanking; stays in step with models/sensors/usb2_13mp_grey_sensor.cpp.
#pragma once

#include "sim/usb2_register_map.h"

namespace sim {

class Usb2Mp13GreyFamily final : public Usb2RegisterMap {
 public:
  std::string writeRegister(uint16_t reg, uint16_t value) override;
  uint8_t writeRequest() const override { return 0x13; }
  uint8_t readRequest() const override { return 0x12; }
  bool streaming() const override;
  uint32_t width() const override { return 1280; }
  uint32_t height() const override { return 1024; }
  uint32_t exposureUs() const override;
  uint32_t gainPercent() const override;
  uint32_t lineUs() const override;

 private:
  uint32_t lineClock() const;
};

}  // namespace sim
