// A camera model for the pipeline suites: a CMOS transport grabbing from the simulated camera
// and a pipeline helper whose exposure and gain writes reach the simulated sensor.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/lumorix_flags.h"
#include "pipeline/frame_descriptor.h"
#include "sim/fixed_family.h"
#include "sim/frame_content.h"
#include "sim/sim_bus.h"
#include "sim/virtual_clock.h"
#include "tests/support/idle_helper.h"
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

// Model operations the suites do not watch stay IdleHelper's inert ones.
class TestSensor : public CCmos, public IdleHelper {
 public:
  TestSensor(SimulatedCamera& camera, const TestSensorConfig& config);
  ~TestSensor() override;

  uint32_t timeWrites = 0, gainWrites = 0;
  std::vector<uint32_t> timesWritten;
  std::vector<std::string> calls;  // black levels written, as "PLHlperSetBlackLevel <level>"
  bool trigger = false;
  uint32_t emptyGrabs = 0;  // this many grabs report no frame before frames flow again
  int32_t failWith = 0;     // non-zero: every grab returns it
  uint32_t grabs = 0;
  uint32_t bandwidthSet = 0, preciseSet = 0;

  int32_t PLHlperInit() override;
  int32_t PLHlperGrabFrame(FrameDescriptor* frame, uint32_t width, uint32_t height,
                           const SensorRect* window, platform::Event* stopEvent,
                           bool singleTry) override;
  void PLHlperApplyRoi(FrameDescriptor* frame, platform::Event*) override;
  bool PLHlperIsTrigger() override { return trigger; }
  SensorRect* PLHlperGetSensorRoi(SensorRect* out) override;
  SensorRect* PLHlperGetRoi(SensorRect* out) override { return PLHlperGetSensorRoi(out); }
  HRESULT PLHlperSetBlackLevel(uint16_t v) override;
  HRESULT PLHlperSetExpoTime(uint32_t us) override;
  HRESULT PLHlperSetExpoAGain(uint16_t gain) override;
  void PLHlperGetOutputSize(uint32_t* w, uint32_t* h) override;
  HRESULT SetBandwidth(uint32_t percent, bool) override;
  HRESULT SetPreciseFrameRate(uint32_t v) override;
  uint32_t GetPreciseFrameRateMax() override { return preciseMax_; }

 private:
  void reachSensor();

  SimulatedCamera& sim_;
  bool latency_;
  uint32_t preciseMax_;
  uint32_t wantTime_, wantGain_;  // written by the pipeline
  bool pending_ = false;          // latency: applied after the next frame
};

}  // namespace zxtest
