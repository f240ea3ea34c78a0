// The pipeline suites' camera model on the simulated camera.
#include "tests/support/test_sensor.h"

#include "sim/winusb_sim.h"
#include "usb/cusb.h"

namespace zxtest {
namespace {

constexpr uint32_t kBlock = 4096;

PLHlperArgs argsFor(const TestSensorConfig& s) {
  PLHlperArgs a;
  a.subKey = s.subKey;
  a.bayer = s.bayer;
  a.maxWidth = a.frameWidth = s.width;
  a.maxHeight = a.frameHeight = s.height;
  a.modelFlags = s.flags;
  a.rawFrameBytes = s.width * s.height * 2;
  a.defectListCount = 2;
  return a;
}

}  // namespace

SimulatedCamera::SimulatedCamera(uint32_t width, uint32_t height) {
  camera = bus.add(clock, sim::SimConfig{}, std::make_unique<sim::FixedFamily>(width, height));
  SetWinUsbApi(&sim::SimWinUsbApi());
}

SimulatedCamera::~SimulatedCamera() {
  SetWinUsbApi(nullptr);
  bus.remove(camera);
}

void SimulatedCamera::showScene(const sim::SceneOptions& options) {
  camera->setContent(sim::ContentKind::Scene, options);
}

uint32_t SimulatedCamera::exposureUs() {
  return camera->withFamily([](sim::SensorFamily& f) { return f.exposureUs(); });
}

uint32_t SimulatedCamera::gainPercent() {
  return camera->withFamily([](sim::SensorFamily& f) { return f.gainPercent(); });
}

void SimulatedCamera::setExposure(uint32_t us, uint32_t gain) {
  camera->withFamily([&](sim::SensorFamily& f) {
    static_cast<sim::FixedFamily&>(f).setExposure(us, gain);
    return 0;
  });
}

TestSensor::TestSensor(SimulatedCamera& camera, const TestSensorConfig& config)
    : CCmos(kBlock, 2, nullptr, camera.id().c_str()),
      IdleHelper(argsFor(config)),
      sim_(camera),
      latency_(config.latency),
      preciseMax_(config.preciseMax),
      wantTime_(camera.exposureUs()),
      wantGain_(camera.gainPercent()) {
  gainMin = config.gainMin;
  gainMax = config.gainMax;
  gainDefault = config.gainDefault;
  timeMin = config.timeMin;
  timeMax = config.timeMax;
  timeDefault = config.timeDefault;
  fanMaxSpeed = 3;
}

TestSensor::~TestSensor() {
  bFiniUSB();
}

int32_t TestSensor::PLHlperInit() {
  return bInitUSB(true) == S_OK ? 1 : 0;
}

void TestSensor::PLHlperApplyRoi(FrameDescriptor* frame, platform::Event*) {
  frame->roi = {};
  frame->sensorWindow = {};
}

SensorRect* TestSensor::PLHlperGetSensorRoi(SensorRect* out) {
  *out = {};
  return out;
}

HRESULT TestSensor::PLHlperSetBlackLevel(uint16_t v) {
  calls.push_back("PLHlperSetBlackLevel " + std::to_string(v));
  return S_OK;
}

void TestSensor::PLHlperGetOutputSize(uint32_t* w, uint32_t* h) {
  *w = frameWidth;
  *h = frameHeight;
}

HRESULT TestSensor::SetBandwidth(uint32_t percent, bool) {
  bandwidthSet = percent;
  return S_OK;
}

HRESULT TestSensor::SetPreciseFrameRate(uint32_t v) {
  preciseSet = v;
  return S_OK;
}

int32_t TestSensor::PLHlperGrabFrame(FrameDescriptor* frame, uint32_t width, uint32_t height,
                                     const SensorRect*, platform::Event* stop, bool) {
  ++grabs;
  if (failWith) return failWith;
  if (emptyGrabs) {
    --emptyGrabs;
    return 0;
  }
  const uint32_t bytes =
      kFormatBytesPerPixel[frame->pixelFormat % kPixelFormatCount] * width * height;
  const int32_t r = EzusbGrabFrame(frame->buffer, stop, kBlock, bytes, 5000, 0, nullptr);
  if (pending_) {
    sim_.setExposure(wantTime_, wantGain_);
    pending_ = false;
  }
  return r;
}

void TestSensor::reachSensor() {
  if (latency_)
    pending_ = true;
  else
    sim_.setExposure(wantTime_, wantGain_);
}

HRESULT TestSensor::PLHlperSetExpoTime(uint32_t us) {
  ++timeWrites;
  timesWritten.push_back(us);
  wantTime_ = us;
  reachSensor();
  return S_OK;
}

HRESULT TestSensor::PLHlperSetExpoAGain(uint16_t gain) {
  ++gainWrites;
  wantGain_ = gain;
  reachSensor();
  return S_OK;
}

}  // namespace zxtest
