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
  HRESULT request(uint8_t code, uint16_t value) override {
    if (code == kRequestSystemInit) return device_.bSystemInit(static_cast<uint8_t>(value));
    if (code == kRequestFpgaValue) device_.bWriteFPGAValue(value);
    if (code == kRequestResMode) device_.bWriteResMode(value);
    if (code == kRequestBridgeClock) {
      const usb::VenReqHeader header{usb::Direction::Out, kRequestBridgeClock, 0, value};
      return device_.VenReq(&header, nullptr, 0, nullptr);
    }
    return S_OK;
  }
  // The reply is zeroed first: a short answer leaves no stale bytes behind.
  HRESULT readSensor(uint8_t* reply, uint32_t length, uint32_t* got) override {
    for (uint32_t i = 0; i < length; ++i) reply[i] = 0;
    const usb::VenReqHeader header{usb::Direction::In, device_.GetSensorReadReq(), 0, 0};
    *got = 0;
    const HRESULT hr = device_.VenReq(&header, reply, length, got);
    if (FAILED(hr)) *got = 0;
    return hr;
  }

 private:
  CCmos& device_;
};
