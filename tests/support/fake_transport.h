// The fake model's transport: a real CUsb whose temperature, speed deferral and frame-rate answers
// a test sets, and which records the DDR register, trigger-mode notices and reloads it is asked
// for.
#pragma once

#include <atomic>
#include <cstdint>

#include "usb/cusb.h"

class FakeTransport : public CUsb {
 public:
  explicit FakeTransport(const ModelInfo* model) : CUsb(0x10000, 0x82, model, ZX_W("")) {}

  std::atomic<int16_t> reading{250};
  std::atomic<bool> deferSpeed{false};
  std::atomic<int32_t> temperatureSet{0};
  std::atomic<uint32_t> preciseMax{0};
  std::atomic<bool> canReload{false};
  std::atomic<uint32_t> ddrWrites{0};
  std::atomic<int32_t> ddrRealtime{-1};  // the last value written, -1 before any
  std::atomic<uint32_t> triggerNotices{0};
  std::atomic<uint32_t> reloads{0};
  std::atomic<int32_t> reloadValue{-1};

  HRESULT GetTemperature(int16_t* tenths) override {
    *tenths = reading.load();
    return S_OK;
  }
  HRESULT SetTemperature(int16_t tenths) override {
    temperatureSet = tenths;
    return S_OK;
  }
  bool bDeferSpeed() override { return deferSpeed.load(); }
  uint32_t GetMaxFrameRate(uint32_t index) override { return 100 + index; }
  uint32_t GetPreciseFrameRateMax() override { return preciseMax.load(); }
  bool bCanReload() override { return canReload.load(); }
  HRESULT bReload(int32_t value) override {
    reloadValue = value;
    ++reloads;
    return S_OK;
  }
  void bWriteDdrRealtime(bool on) override {
    ddrRealtime = on ? 1 : 0;
    ++ddrWrites;
  }
  void OnTriggerMode() override { ++triggerNotices; }
};
