// A camera model for the pipeline suites: a CMOS transport grabbing from the simulated camera
// and a pipeline helper whose exposure and gain writes reach the simulated sensor.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/lumorix_flags.h"
#include "pipeline/frame_descriptor.h"
#include "pipeline/pl_helper_base.h"
#include "sim/fixed_family.h"
#include "sim/frame_content.h"
#include "sim/sim_bus.h"
#include "sim/virtual_clock.h"
#include "usb/ccmos.h"

namespace zxtest {

// One simulated camera on a virtual clock; its sensor is the Fixed family.
class SimulatedCamera {
 public:
  SimulatedCamera(uint32_t width, uint32_t height);
  ~SimulatedCamera();
  void showScene(const sim::SceneOptions& options);
  WString id() const { return camera->kernelId(); }
  uint32_t exposureUs();
  uint32_t gainPercent();
  void setExposure(uint32_t us, uint32_t gain);

  sim::VirtualClock clock;
  sim::SimBus bus;
  std::shared_ptr<sim::SimCamera> camera;
};

struct TestSensorConfig {
  uint64_t flags = LUMORIX_FLAG_RAW8 | LUMORIX_FLAG_LIGHTFREQ;
  uint32_t width = 64, height = 48;
  const WCHAR16* subKey = nullptr;
  uint32_t bayer = 1;
  bool latency = false;  // a written time or gain reaches the frames one frame late
  uint16_t gainMin = 100, gainMax = 1600, gainDefault = 100;
  uint32_t timeMin = 100, timeMax = 1000000, timeDefault = 10000;
  uint32_t preciseMax = 0;  // GetPreciseFrameRateMax
};

class TestSensor : public CCmos, public PLHlperBase {
 public:
  TestSensor(SimulatedCamera& camera, const TestSensorConfig& config);
  ~TestSensor() override;

  uint32_t timeWrites = 0, gainWrites = 0;
  std::vector<uint32_t> timesWritten;
  std::vector<std::string> calls;  // every other model operation, by name
  bool trigger = false;
  uint32_t emptyGrabs = 0;  // this many grabs report no frame before frames flow again
  int32_t failWith = 0;     // non-zero: every grab returns it
  uint32_t grabs = 0;
  uint32_t bandwidthSet = 0, preciseSet = 0;
  SensorRect roi{};

  int32_t PLHlperInit() override;
  int32_t PLHlperGrabFrame(FrameDescriptor* frame, uint32_t width, uint32_t height,
                           const SensorRect* window, platform::Event* stopEvent,
                           bool singleTry) override;
  bool PLHlperHasFlag40() override { return note("PLHlperHasFlag40"), false; }
  bool PLHlperGetCalc2630() override { return note("PLHlperGetCalc2630"), false; }
  void PLHlperApplyRoi(FrameDescriptor* frame, platform::Event*) override;
  void PLHlperSetBitDepth(uint8_t depth) override {
    note("PLHlperSetBitDepth " + std::to_string(depth));
  }
  bool PLHlperIsTrigger() override { return trigger; }
  SensorRect* PLHlperGetSensorRoi(SensorRect* out) override { return *out = {}, out; }
  SensorRect* PLHlperGetRoi(SensorRect* out) override { return *out = roi, out; }
  HRESULT PLHlperSetLightFrequency(uint32_t) override {
    return note("PLHlperSetLightFrequency"), S_OK;
  }
  HRESULT PLHlperSetSpeed(uint16_t, uint8_t) override { return note("PLHlperSetSpeed"), S_OK; }
  HRESULT PLHlperSetSkip(uint32_t) override { return note("PLHlperSetSkip"), S_OK; }
  HRESULT PLHlperSetBlackLevel(uint16_t v) override {
    return note("PLHlperSetBlackLevel " + std::to_string(v)), S_OK;
  }
  HRESULT PLHlperSetCG(uint32_t) override { return note("PLHlperSetCG"), S_OK; }
  HRESULT PLHlperSetExpoTime(uint32_t us) override;
  HRESULT PLHlperSetExpoAGain(uint16_t gain) override;
  HRESULT PLHlperSetFan(uint16_t s) override {
    return note("PLHlperSetFan " + std::to_string(s)), S_OK;
  }
  HRESULT PLHlperSetTEC(uint32_t on) override {
    return note("PLHlperSetTEC " + std::to_string(on)), S_OK;
  }
  HRESULT PLHlperSetTECTarget(int32_t) override { return note("PLHlperSetTECTarget"), S_OK; }
  void IspSetMatrix(const double*) override { note("IspSetMatrix"); }
  void IspSetWB(const int32_t*) override { note("IspSetWB"); }
  void IspSetBB(const uint16_t*) override { note("IspSetBB"); }
  void IspSetLut(const uint16_t*, uint32_t) override { note("IspSetLut"); }
  void IspSetAWBRect(uint16_t, uint16_t, uint16_t, uint16_t) override { note("IspSetAWBRect"); }
  void IspSetAERect(uint16_t, uint16_t, uint16_t, uint16_t) override { note("IspSetAERect"); }
  void IspSetABBRect(uint16_t, uint16_t, uint16_t, uint16_t) override { note("IspSetABBRect"); }
  bool bIspHasABB() override { return false; }
  bool IspSetLutEx() override { return false; }
  void PLHlperSetPixelFormat(uint8_t f) override {
    note("PLHlperSetPixelFormat " + std::to_string(f));
  }
  void PLHlperGetOutputSize(uint32_t* w, uint32_t* h) override {
    *w = frameWidth, *h = frameHeight;
  }
  void IspEnWB(bool) override { note("IspEnWB"); }
  void IspEnMatrix(bool) override { note("IspEnMatrix"); }
  uint32_t bEEPROMRead(uint8_t*) override { return note("bEEPROMRead"), 0; }
  void PLHlperGetDefaultPreset(PresetRecord*) override { note("PLHlperGetDefaultPreset"); }
  uint8_t PLHlperGetBinning() override { return 1; }
  void PLHlperSetBinning(uint8_t) override { note("PLHlperSetBinning"); }
  int32_t PLHlperGetTecInfo(uint32_t, int32_t*) override { return 0; }
  void PLHlperGetValues38(uint32_t*, uint32_t*, uint32_t*) override {}
  HRESULT PLHlperGetFocusInfo(LumorixFocusInfo*) override { return E_NOTIMPL; }
  HRESULT SetBandwidth(uint32_t percent, bool) override { return bandwidthSet = percent, S_OK; }
  HRESULT SetPreciseFrameRate(uint32_t v) override { return preciseSet = v, S_OK; }
  uint32_t GetPreciseFrameRateMax() override { return preciseMax_; }

 private:
  void note(std::string call) { calls.push_back(std::move(call)); }
  void reachSensor();

  SimulatedCamera& sim_;
  bool latency_;
  uint32_t preciseMax_;
  uint32_t wantTime_, wantGain_;  // written by the pipeline
  bool pending_ = false;          // latency: applied after the next frame
};

}  // namespace zxtest
