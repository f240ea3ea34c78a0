// The USB2 VGA sensor: answers its identity, 640 x 480 or 320 x 240 by the read mode, a 24 MHz
// line by divider; stays in step with models/sensors/usb2_vga_sensor.cpp.
#pragma once

#include <vector>

#include "sim/usb2_register_map.h"

namespace sim {

class Usb2VgaFamily final : public Usb2RegisterMap {
 public:
  std::string writeRegister(uint16_t reg, uint16_t value) override;
  uint32_t readSensor(uint8_t* reply, uint32_t length) override;
  bool streaming() const override;
  uint32_t width() const override;
  uint32_t height() const override;
  uint32_t exposureUs() const override;
  uint32_t gainPercent() const override;
  uint32_t lineUs() const override;

  // What the identity read answers (tests: another chip, a short reply).
  void setIdentity(std::vector<uint8_t> reply) { identity_ = std::move(reply); }

 private:
  uint32_t index() const;  // 0 or 1 by the read mode; 2 unknown
  uint32_t lineClock() const;
  std::vector<uint8_t> identity_{0x82, 0x43, 0x00};
};

}  // namespace sim
