// The USB2 8, 9, 10 and 14 MP sensors: ready after some status reads, the output size latched when
// a held group is released, the exposure clock from the PLL registers; the 14 MP may carry the
// alternative chip, which says so to request 0x2E and sends 4 columns fewer once told its size.
// Stays in step with models/sensors/usb2_8_10mp_sensor.cpp and usb2_14mp_sensor.cpp.
#pragma once

#include <limits>

#include "sim/held_group_map.h"

namespace sim {

class Usb2Mp8To14Family final : public HeldGroupMap {
 public:
  static constexpr uint32_t kNeverReady = std::numeric_limits<uint32_t>::max();
  enum class Kind { Mp8To10, Mp10Wide, Mp14 };

  explicit Usb2Mp8To14Family(Kind kind) : kind_(kind) {}

  // Status reads answer not-ready `reads` times first.
  void setReadiness(uint32_t reads) { notReadyReads_ = reads; }
  uint32_t statusReads() const { return reads_; }
  // The 14 MP's chip; a failed 0x2E request reads as the standard one.
  void setAlternative(bool alternative) { alternative_ = alternative; }
  void setAltRequestFails(bool fails) { altRequestFails_ = fails; }
  uint16_t resModeWrites() const { return resModeWrites_; }

  std::string writeRegister(uint16_t reg, uint16_t value) override;
  uint32_t readSensor(uint8_t* reply, uint32_t length) override;
  bool altSensorReply(uint8_t* value) const override;
  void writeResMode(uint16_t index) override;
  bool streaming() const override;
  uint32_t exposureUs() const override;
  uint32_t gainPercent() const override;
  uint32_t trailerBytes(uint16_t) const override { return 0; }
  uint32_t lineUs() const override;

 private:
  double clockMHz() const;  // 0 before the PLL is programmed
  uint32_t lineClocks() const;
  Kind kind_;
  bool alternative_ = false;
  bool altRequestFails_ = false;
  bool toldSize_ = false;
  uint16_t resModeWrites_ = 0;
  bool running_ = false;
  uint32_t notReadyReads_ = 0, reads_ = 0;
};

}  // namespace sim
