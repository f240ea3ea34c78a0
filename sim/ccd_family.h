// The simulated CCD cameras: packed register writes in the long or short form, the write-mode
// query, an FPGA map, the readout mode known from the timing program just loaded, and frames
// sent as the camera's fields; stays in step with models/families/ccd_*.h.
#pragma once

#include <map>

#include "sim/sensor_family.h"

namespace sim {

enum class CcdKind : uint8_t { Mp14, Mp31, Mp51 };

class CcdFamily final : public SensorFamily {
 public:
  CcdFamily(CcdKind kind, bool second) : kind_(kind), second_(second) {}

  // What the mode query answers (first generation): 1 long form, 0 short, negative a stall.
  void setWriteMode(int32_t mode) { writeMode_ = mode; }
  // The readout mode of the program loaded last: 0 full frame, 1 reduced, -1 none.
  int32_t mode() const { return mode_; }
  uint32_t packed(uint32_t reg) const;
  uint16_t fpga(uint16_t reg) const;
  uint16_t speed() const { return packed(48) ? 0 : 1; }

  std::string writeRegister(uint16_t, uint16_t) override { return {}; }
  std::string writePacked(uint32_t reg, uint32_t value, bool longForm) override;
  void writeFpga(uint16_t reg, uint16_t value) override;
  int32_t regWriteMode() const override { return second_ ? 1 : writeMode_; }
  bool streaming() const override { return mode_ >= 0; }
  uint32_t width() const override;
  uint32_t height() const override;
  uint32_t exposureUs() const override;
  uint32_t gainPercent() const override;
  uint32_t trailerBytes(uint16_t) const override { return 0; }
  uint16_t reg(uint16_t address) const override { return static_cast<uint16_t>(packed(address)); }
  uint32_t lineUs() const override;
  void wireFrame(std::vector<uint8_t>& frame, std::vector<uint32_t>& segments) const override;

 private:
  bool longForm() const { return second_ || writeMode_ == 1; }
  double clockMHz() const { return speed() ? 28.6364 : 14.3182; }
  std::string endProgram();

  CcdKind kind_;
  bool second_;
  int32_t writeMode_ = 1;
  std::map<uint32_t, uint32_t> packed_;
  std::map<uint16_t, uint16_t> fpga_;
  int32_t mode_ = -1;
  bool loading_ = false;
  uint32_t writes_ = 0;  // since the program's first write of 16 = 1
};

}  // namespace sim
