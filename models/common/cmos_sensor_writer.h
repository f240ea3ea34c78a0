// Sends program writes through a CMOS camera's sensor write request.
#pragma once

#include "models/common/register_program.h"
#include "usb/ccmos.h"

class CmosSensorWriter final : public SensorWriter {
 public:
  explicit CmosSensorWriter(CCmos& device) : device_(device) {}
  HRESULT writeSensor(uint16_t reg, uint16_t value) override {
    return device_.bWriteSensor(reg, value);
  }

 private:
  CCmos& device_;
};
