// The USB3 14 MP sensor, normal or alternative chip: ready after some status reads, the output
// size latched when a held group is released (the alternative's 4 extra columns cropped by the
// FPGA, which must be told the width) and checked against the window and frame length, the clock
// that of the clock tree programmed; stays in step with models/sensors/usb3_14mp_sensor.cpp.
#pragma once

#include <limits>
#include <string>

#include "sim/held_group_map.h"

namespace sim {

class Usb3Mp14Family final : public HeldGroupMap {
 public:
  static constexpr uint32_t kNeverReady = std::numeric_limits<uint32_t>::max();

  explicit Usb3Mp14Family(bool alternative) : alternative_(alternative) {}

  // Status reads answer not-ready `reads` times first, each reply `replyBytes` long (at most 3).
  void setReadiness(uint32_t reads, uint32_t replyBytes) {
    notReadyReads_ = reads, replyBytes_ = replyBytes;
  }
  uint32_t statusReads() const { return reads_; }

  std::string writeRegister(uint16_t reg, uint16_t value) override;
  void writeFpgaValue(uint16_t value) override { fpga_ = value; }
  uint32_t readSensor(uint8_t* reply, uint32_t length) override;
  bool streaming() const override;
  uint32_t exposureUs() const override;
  uint32_t gainPercent() const override;
  uint32_t trailerBytes(uint16_t) const override { return 0; }
  uint32_t lineUs() const override;

 private:
  double clockMHz() const;
  bool alternative_;
  uint16_t fpga_ = 0;
  bool running_ = false;
  std::string frameError_;  // what the last released group got wrong; empty when it agrees
  uint32_t notReadyReads_ = 0, replyBytes_ = 3, reads_ = 0;
};

}  // namespace sim
