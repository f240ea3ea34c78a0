// A sensor whose geometry, exposure and gain the test sets; it always streams.
#pragma once

#include "sim/sensor_family.h"

namespace sim {

class FixedFamily final : public SensorFamily {
 public:
  FixedFamily(uint32_t width, uint32_t height) : width_(width), height_(height) {}

  void setGeometry(uint32_t width, uint32_t height) { width_ = width, height_ = height; }
  void setExposure(uint32_t us, uint32_t gainPercent) { exposure_ = us, gain_ = gainPercent; }
  void setTrailer(uint32_t bytes) { trailer_ = bytes; }

  std::string writeRegister(uint16_t, uint16_t) override { return {}; }
  bool streaming() const override { return true; }
  uint32_t width() const override { return width_; }
  uint32_t height() const override { return height_; }
  uint32_t exposureUs() const override { return exposure_; }
  uint32_t gainPercent() const override { return gain_; }
  uint32_t trailerBytes(uint16_t) const override { return trailer_; }
  uint16_t reg(uint16_t) const override { return 0; }
  uint32_t lineUs() const override { return 1; }

 private:
  uint32_t width_, height_;
  uint32_t exposure_ = 10000, gain_ = 100, trailer_ = 0;
};

}  // namespace sim
