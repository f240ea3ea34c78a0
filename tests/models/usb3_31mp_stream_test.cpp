// The 3.1 MP camera end to end: enumerated and opened from the simulated device, streaming real
// frames through the transport, the grabber and the pipeline, in real time.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/base_impl.h"
#include "core/camera_enumeration.h"
#include "core/camera_opening.h"
#include "models/catalogue_table.h"
#include "models/common/cmos_camera.h"
#include "pipeline/algorithms/ae_measure.h"
#include "pipeline/pl_frame_hooks.h"
#include "pipeline/pl_start.h"
#include "platform/event.h"
#include "platform/registry.h"
#include "platform/utf16.h"
#include "sim/frame_content.h"
#include "sim/real_time_clock.h"
#include "sim/sim_bus.h"
#include "sim/usb3_31mp_family.h"
#include "sim/winusb_sim.h"
#include "tests/support/recording_directory.h"
#include "usb/cusb.h"

namespace {

enum class Flavour { Kernel, WinUsb };

struct Registration {
  const char* name;
  uint16_t productId;
  Flavour flavour;
};

std::string nameOf(const ::testing::TestParamInfo<Registration>& info) {
  return info.param.name;
}

// Rows of a 24-bit bottom-up DIB, padded to four bytes.
uint32_t DibBytes(uint32_t w, uint32_t h) {
  return ((w * 24 + 31) / 32) * 4 * h;
}

// Pulls frames as a pin does; a watchdog wakes a pull that waits too long, so nothing hangs.
class Puller {
 public:
  Puller(BaseImpl& cam, uint32_t w, uint32_t h) : cam_(cam), buffer_(DibBytes(w, h)) {}
  // Frames written before the deadline, at most n.
  uint32_t pull(uint32_t n, std::chrono::seconds limit) {
    platform::Event wake(platform::Event::Kind::AutoReset, false);
    std::atomic<bool> done{false};
    std::thread watchdog([&] {
      const auto end = std::chrono::steady_clock::now() + limit;
      while (!done && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      timedOut_ = !done;
      wake.set();
    });
    uint32_t got = 0;
    while (got < n && !timedOut_) {
      const HRESULT hr = cam_.PullFrameForPin(buffer_.data(), uint32_t(buffer_.size()), &wake);
      if (hr == S_OK)
        ++got;
      else if (FAILED(hr))
        break;
    }
    done = true;
    watchdog.join();
    return got;
  }
  const std::vector<uint8_t>& frame() const { return buffer_; }

 private:
  BaseImpl& cam_;
  std::vector<uint8_t> buffer_;
  std::atomic<bool> timedOut_{false};
};

// A 4x2 chart read from a bottom-up BGR DIB: each patch centre must show its colour's dominant
// channels, greys must be neutral, and red must sit top-left.
void ExpectChart(const std::vector<uint8_t>& dib, uint32_t w, uint32_t h, const char* what) {
  struct Patch {
    const char* name;
    bool r, g, b;
  };
  const Patch patches[2][4] = {
      {{"red", 1, 0, 0}, {"green", 0, 1, 0}, {"blue", 0, 0, 1}, {"white", 1, 1, 1}},
      {{"cyan", 0, 1, 1}, {"magenta", 1, 0, 1}, {"yellow", 1, 1, 0}, {"grey", 1, 1, 1}}};
  const uint32_t stride = ((w * 24 + 31) / 32) * 4;
  for (uint32_t row = 0; row < 2; ++row) {
    for (uint32_t col = 0; col < 4; ++col) {
      const Patch& p = patches[row][col];
      const uint32_t x = (2 * col + 1) * w / 8, y = (2 * row + 1) * h / 4;
      const uint8_t* px = dib.data() + size_t(h - 1 - y) * stride + size_t(x) * 3;
      const int rgb[3] = {px[2], px[1], px[0]};
      const bool on[3] = {p.r, p.g, p.b};
      int lowestOn = 255, highestOff = 0;
      for (int c = 0; c < 3; ++c) {
        if (on[c])
          lowestOn = std::min(lowestOn, rgb[c]);
        else
          highestOff = std::max(highestOff, rgb[c]);
      }
      EXPECT_GT(lowestOn, highestOff + 40)
          << what << " " << p.name << " patch reads " << rgb[0] << "," << rgb[1] << "," << rgb[2];
      if (p.r && p.g && p.b) {
        const int hi = std::max({rgb[0], rgb[1], rgb[2]}), lo = std::min({rgb[0], rgb[1], rgb[2]});
        EXPECT_LE(hi - lo, hi / 10 + 1) << what << " " << p.name << " is not neutral: " << rgb[0]
                                        << "," << rgb[1] << "," << rgb[2];
      }
    }
  }
}

class Usb3_31Stream : public ::testing::TestWithParam<Registration> {
 protected:
  void SetUp() override {
    sim::SimConfig config;
    config.productId = GetParam().productId;
    config.bcdDevice = 3;
    camera_ = bus_.add(clock_, config, std::make_unique<sim::Usb3Mp31Family>());
    camera_->setFramePeriodMs(5);
    scene_ = sim::Usb3Mp31Family::sceneOptions();
    scene_.referenceExposureUs = 94000;
    camera_->setContent(sim::ContentKind::Chart, scene_);
    SetWinUsbApi(&sim::SimWinUsbApi());
    if (GetParam().flavour == Flavour::Kernel)
      directory_.memory.addDosName(ZX_W("lumorix-0-") +
                                   platform::Utf8ToWide(hex(config.productId)));
    else
      directory_.memory.addInterfacePath(kCameraInterfaceClass, camera_->winUsbPath());
  }
  void TearDown() override {
    delete cam_;
    SetWinUsbApi(nullptr);
  }
  static std::string hex(uint16_t v) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", v);
    return text;
  }
  // Enumerates the one simulated device and opens it with settings persisted.
  BaseImpl* open() {
    CameraDeviceRecord records[kMaxCameraRecords] = {};
    if (EnumerateCameras(records, ModelTable(), directory_) != 1) return nullptr;
    const WString id = WString(ZX_W("!")) + records[0].id;
    cam_ = OpenCameraById(id.c_str(), ModelTable());
    return cam_;
  }

  sim::SceneOptions scene_;
  platform::ScopedRegistry registry_{platform::MakeMemoryRegistry()};
  sim::RealTimeClock clock_;
  sim::SimBus bus_;
  std::shared_ptr<sim::SimCamera> camera_;
  RecordingDirectory directory_;
  BaseImpl* cam_ = nullptr;
};

TEST_P(Usb3_31Stream, StreamsEveryResolutionAndSnapsAStill) {
  BaseImpl* cam = open();
  ASSERT_NE(cam, nullptr);
  for (uint32_t index : {0u, 1u}) {
    ASSERT_EQ(cam->put_eSize(index), S_OK);
    int32_t w = 0, h = 0;
    ASSERT_EQ(cam->get_Size(&w, &h), S_OK);
    ASSERT_EQ(cam->start(), S_OK);
    Puller puller(*cam, uint32_t(w), uint32_t(h));
    EXPECT_EQ(puller.pull(30, std::chrono::seconds(60)), 30u) << "index " << index;
    ExpectChart(puller.frame(), uint32_t(w), uint32_t(h), index == 0 ? "full" : "half");
    if (index == 1) {
      ASSERT_EQ(cam->put_eStillSize(0), S_OK);
      std::vector<uint8_t> still(DibBytes(2048, 1534));
      platform::Event cancel(platform::Event::Kind::ManualReset, false);
      EXPECT_EQ(cam->SnapForPin(still.data(), uint32_t(still.size()), &cancel), S_OK);
      ExpectChart(still, 2048, 1534, "still");
      EXPECT_EQ(puller.pull(3, std::chrono::seconds(60)), 3u) << "preview after the still";
    }
    EXPECT_EQ(cam->stop(), S_OK);
  }
  EXPECT_EQ(cam->close(), S_OK);  // close deletes the camera
  cam_ = nullptr;
}

// The mean of the centre fifth of a BGR frame, all channels.
double CentreMean(const std::vector<uint8_t>& dib, uint32_t w, uint32_t h) {
  const uint32_t stride = ((w * 24 + 31) / 32) * 4;
  uint64_t sum = 0, n = 0;
  for (uint32_t y = h * 2 / 5; y < h * 3 / 5; ++y)
    for (uint32_t x = w * 2 / 5; x < w * 3 / 5; ++x)
      for (uint32_t c = 0; c < 3; ++c) sum += dib[size_t(y) * stride + x * 3 + c], ++n;
  return n ? double(sum) / double(n) : 0;
}

// The last value written to a sensor register, or -1.
int32_t LastWrite(sim::SimLog& log, uint16_t reg) {
  int32_t value = -1;
  for (const sim::LogEntry& e : log.ofKind(sim::LogKind::RegisterWrite))
    if (e.code == reg) value = int32_t(e.value);
  return value;
}

// Exposure through the pipeline state, as the exposure property sets it.
void SetExposure(CmosHelper& h, uint32_t us) {
  {
    std::lock_guard<platform::RecursiveLock> hold(*h.ctx8->mtxSettings);
    h.ctx8->settings.expoTime = us;
  }
  ExpoProcTime(h, 0);
}

class Usb3_31Exposure : public Usb3_31Stream {
 protected:
  uint32_t simExposure() {
    return camera_->withFamily([](sim::SensorFamily& f) { return f.exposureUs(); });
  }
  uint32_t simGain() {
    return camera_->withFamily([](sim::SensorFamily& f) { return f.gainPercent(); });
  }
  // The AE window's mean, as AE measures it, of what the sensor sends now.
  int32_t aeWindowMean(const PLContext& ctx) {
    const uint32_t w = ctx.frameWidth, h = ctx.frameHeight;
    std::vector<uint8_t> raw(size_t(w) * h);
    sim::RenderScene(raw.data(), w, h, scene_, simExposure(), simGain(), 0);
    const ImageRect r = ctx.aeRectPx;
    return GetAverageIntensityByte(w, h, ImageRect{r.left, r.top, r.right, r.bottom}, 8, false,
                                   raw.data());
  }
  // Opens the camera and streams it at 1024x770 with AE on or off; null when a step fails.
  CmosHelper* streamHalfSize(uint32_t ae) {
    BaseImpl* cam = open();
    if (!cam || cam->put_eSize(1) != S_OK || cam->start() != S_OK) return nullptr;
    CmosHelper& h = dynamic_cast<CmosCamera&>(*cam).pipelineHelper();
    PL_SetAutoExpoEnable(h, ae);
    return &h;
  }
  // One line at the current clock and line length: the exposure's resolution.
  static constexpr double kLineUs = 2300.0 / 80;
};

TEST_P(Usb3_31Exposure, SpeedExposureAndGainReachTheSensorWithAutoExposureOff) {
  CmosHelper* helper = streamHalfSize(0);
  ASSERT_NE(helper, nullptr);
  BaseImpl* cam = cam_;
  CmosHelper& h = *helper;
  Puller puller(*cam, 1024, 770);
  ASSERT_EQ(puller.pull(2, std::chrono::seconds(60)), 2u);

  for (uint16_t speed : {uint16_t(0), uint16_t(2)}) {
    ASSERT_EQ(cam->put_Speed(speed), S_OK);
    EXPECT_EQ(LastWrite(camera_->log(), 0x3030), speed == 0 ? 120 : 147);
    EXPECT_NEAR(simExposure(), 94000, kLineUs) << "speed " << speed;
  }
  double bright[3] = {};
  const struct {
    uint32_t us;
    uint16_t gain;
  } steps[] = {{20000, 100}, {40000, 100}, {20000, 200}};
  for (int i = 0; i < 3; ++i) {
    SetExposure(h, steps[i].us);
    ExpoProcAGain(h, steps[i].gain, 0);
    EXPECT_NEAR(simExposure(), steps[i].us, kLineUs);
    EXPECT_EQ(simGain(), steps[i].gain);
    ASSERT_EQ(puller.pull(4, std::chrono::seconds(60)), 4u);  // frames exposed before are gone
    bright[i] = CentreMean(puller.frame(), 1024, 770);
  }
  EXPECT_GT(bright[1], bright[0] * 1.3) << "twice the exposure";
  EXPECT_NEAR(bright[2], bright[1], bright[1] * 0.1) << "twice the gain, as twice the exposure";
  EXPECT_EQ(cam->stop(), S_OK);
}

TEST_P(Usb3_31Exposure, AutoExposureReachesItsTarget) {
  scene_.referenceExposureUs = 3 * 94000;  // a third of the light: AE has to find it
  camera_->setContent(sim::ContentKind::Scene, scene_);
  CmosHelper* helper = streamHalfSize(1);
  ASSERT_NE(helper, nullptr);
  BaseImpl* cam = cam_;
  CmosHelper& h = *helper;
  Puller puller(*cam, 1024, 770);
  EXPECT_GT(std::abs(aeWindowMean(*h.ctx8) - 120), 20) << "the scene starts away from the target";
  uint32_t settled = 0;
  int32_t mean = 0;
  for (uint32_t frame = 0; frame < 100 && settled < 5; ++frame) {
    ASSERT_EQ(puller.pull(1, std::chrono::seconds(60)), 1u);
    mean = aeWindowMean(*h.ctx8);
    settled = std::abs(mean - 120) <= 20 ? settled + 1 : 0;
  }
  EXPECT_EQ(settled, 5u) << "AE window mean " << mean;
  EXPECT_EQ(cam->stop(), S_OK);
}

INSTANTIATE_TEST_SUITE_P(Usb3, Usb3_31Exposure,
                         ::testing::Values(Registration{"Rostrel", 0xC310, Flavour::Kernel}),
                         nameOf);

const Registration kRegistrations[] = {
    {"Rostrel", 0xC310, Flavour::Kernel},       {"RostrelUsb2", 0xD310, Flavour::Kernel},
    {"Pelvane", 0x3310, Flavour::Kernel},       {"PelvaneUsb2", 0x4310, Flavour::Kernel},
    {"RostrelWinUsb", 0xC310, Flavour::WinUsb},
};
INSTANTIATE_TEST_SUITE_P(Registrations, Usb3_31Stream, ::testing::ValuesIn(kRegistrations), nameOf);

}  // namespace
