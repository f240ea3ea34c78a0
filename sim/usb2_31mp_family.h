// The USB2 3.1 MP sensor: the 2 MP sensor's map, a window of (0x04 + 1) x (0x03 + 1) read one of
// two or three, and a 48 MHz line from the blanking, the width and the clock divider; stays in step
// with models/sensors/usb2_2mp_sensor.cpp.
#pragma once

#include "sim/usb2_register_map.h"

namespace sim {

class Usb2Mp31Family final : public Usb2RegisterMap {
 public:
  std::string writeRegister(uint16_t reg, uint16_t value) override;
  bool streaming() const override;
  uint32_t width() const override;
  uint32_t height() const override;
  uint32_t exposureUs() const override;
  uint32_t gainPercent() const override;
  uint32_t lineUs() const override;

 private:
  size_t modeIndex() const;    // 0 every pixel, 1 one of two, 2 one of three
  uint32_t lineClock() const;  // 0 for an unknown clock
};

}  // namespace sim
