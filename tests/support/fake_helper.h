// A pipeline helper for tests: the device values and the tone tables handed to the processor are
// recorded, every other operation is inert.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "core/lumorix.h"
#include "pipeline/pl_start.h"
#include "tests/support/idle_helper.h"

class FakeHelper : public IdleHelper {
 public:
  explicit FakeHelper(uint64_t flags, const WCHAR16* settingsKey = nullptr, uint8_t tempTint = 1)
      : IdleHelper(argsFor(flags, settingsKey, tempTint)) {
    fanMaxSpeed = 3;
  }

  // A real pipeline state for frames of w x h (processing size 0: the frame's) in the pixel
  // format given, with exposure 100..1000000 us and gain 100..5000 %; false when none is made.
  bool makeState(uint32_t w, uint32_t h, uint32_t procW, uint32_t procH, uint8_t format) {
    frameWidth = w, frameHeight = h;
    procWidth = procW ? procW : w, procHeight = procH ? procH : h;
    timeMin = 100, timeMax = 1000000, timeDefault = 20000;
    gainMin = 100, gainMax = 5000, gainDefault = 100;
    pixelFormat = format;
    formatAvailable[format] = 1;
    return PLInit(*this, nullptr, 0, 0);
  }

  std::vector<std::string> writes;                        // recorded device writes, in order
  LumorixFocusInfo focusInfo{{850, 0, 0, 10600, -5400}};  // the model's focus record
  HRESULT tecTargetResult = S_OK;
  HRESULT bandwidthResult = S_OK, preciseResult = S_OK;
  uint32_t preciseMax = 0;  // 0: the model has no precise frame rate
  bool keepsSpeedWhileOpen = false;
  std::atomic<bool> sensorOpen{false};  // between the model's OpenCamera and StopSensor
  bool trigger = false;

  int32_t PLHlperInit() override { return 0; }
  HRESULT PLHlperGetFocusInfo(LumorixFocusInfo* info) override {
    *info = focusInfo;
    return S_OK;
  }
  bool PLHlperIsTrigger() override { return trigger; }
  // As a device that takes its speed only at its next start: kept while the sensor is open.
  HRESULT PLHlperSetSpeed(uint16_t s, uint8_t) override {
    note("speed", s);
    return keepsSpeedWhileOpen && sensorOpen ? S_FALSE : S_OK;
  }
  HRESULT PLHlperSetSkip(uint32_t s) override { return note("skip", s); }
  HRESULT PLHlperSetExpoTime(uint32_t us) override { return note("time", us); }
  HRESULT PLHlperSetFan(uint16_t s) override { return note("fan", s); }
  HRESULT PLHlperSetTEC(uint32_t on) override { return note("tec", on); }
  HRESULT PLHlperSetTECTarget(int32_t t) override {
    note("target", t);
    return tecTargetResult;
  }
  HRESULT SetBandwidth(uint32_t percent, bool save) override {
    note(save ? "bandwidth saved" : "bandwidth", percent);
    return bandwidthResult;
  }
  HRESULT SetPreciseFrameRate(uint32_t value) override {
    note("precise", value);
    return preciseResult;
  }
  uint32_t GetPreciseFrameRateMax() override { return preciseMax; }
  std::atomic<int> aeWindows{0};  // AE windows handed to the camera's processor
  void IspSetAERect(uint16_t, uint16_t, uint16_t, uint16_t) override { ++aeWindows; }
  void IspSetLut(const uint16_t* table, uint32_t bits) override {
    std::lock_guard<std::mutex> hold(lutLock_);
    luts_.emplace_back(table, table + (size_t{1} << bits));
  }
  std::vector<std::vector<uint16_t>> luts() {
    std::lock_guard<std::mutex> hold(lutLock_);
    return luts_;
  }

 private:
  static PLHlperArgs argsFor(uint64_t flags, const WCHAR16* subKey, uint8_t tempTint) {
    PLHlperArgs args;
    args.wbTempTint = tempTint;
    args.subKey = subKey;
    args.modelFlags = flags;
    args.maxWidth = args.frameWidth = 2048;
    args.maxHeight = args.frameHeight = 1534;
    args.maxSpeed = 3;
    return args;
  }
  std::mutex lutLock_;
  std::vector<std::vector<uint16_t>> luts_;

  HRESULT note(const char* what, int64_t value) {
    writes.push_back(std::string(what) + " " + std::to_string(value));
    return S_OK;
  }
};
