// The USB2 2 MP sensor: a window of (0x04 + 1) x (0x03 + 1), halved in the reduced mode, and a
// 48 MHz line from the pixel clock and the blanking; stays in step with
// models/sensors/usb2_2mp_sensor.cpp.
#pragma once

#include "sim/usb2_register_map.h"

namespace sim {

class Usb2Mp2Family final : public Usb2RegisterMap {
 public:
  // The Pelvane board reads an unreduced window with a slightly longer line.
  explicit Usb2Mp2Family(bool pelvane) : pelvane_(pelvane) {}
  std::string writeRegister(uint16_t reg, uint16_t value) override;
  bool streaming() const override;
  uint32_t width() const override;
  uint32_t height() const override;
  uint32_t exposureUs() const override;
  uint32_t gainPercent() const override;
  uint32_t lineUs() const override;

 private:
  bool reduced() const;
  uint32_t lineClock() const;  // 0 for an unknown clock
  bool pelvane_;
};

}  // namespace sim
