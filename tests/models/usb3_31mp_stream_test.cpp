// The 3.1 MP camera end to end: enumerated and opened from the simulated device, streaming real
// frames through the transport, the grabber and the pipeline, in real time.
#include <gtest/gtest.h>

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
#include "platform/event.h"
#include "platform/registry.h"
#include "platform/utf16.h"
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

std::string nameOf(const ::testing::TestParamInfo<Registration>& info) { return info.param.name; }

// Rows of a 24-bit bottom-up DIB, padded to four bytes.
uint32_t DibBytes(uint32_t w, uint32_t h) { return ((w * 24 + 31) / 32) * 4 * h; }

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
      if (hr == S_OK) ++got;
      else if (FAILED(hr)) break;
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

class Usb3_31Stream : public ::testing::TestWithParam<Registration> {
 protected:
  void SetUp() override {
    sim::SimConfig config;
    config.productId = GetParam().productId;
    config.bcdDevice = 3;
    camera_ = bus_.add(clock_, config, std::make_unique<sim::Usb3Mp31Family>());
    camera_->setFramePeriodMs(5);
    sim::SceneOptions scene;
    scene.bayerOrder = 0;
    scene.referenceExposureUs = 94000;
    camera_->setContent(sim::ContentKind::Scene, scene);
    SetWinUsbApi(&sim::SimWinUsbApi());
    if (GetParam().flavour == Flavour::Kernel)
      directory_.memory.addDosName(ZX_W("lumorix-0-") + platform::Utf8ToWide(hex(config.productId)));
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
    EXPECT_EQ(puller.pull(30, std::chrono::seconds(20)), 30u) << "index " << index;
    if (index == 1) {
      ASSERT_EQ(cam->put_eStillSize(0), S_OK);
      std::vector<uint8_t> still(DibBytes(2048, 1534));
      platform::Event cancel(platform::Event::Kind::ManualReset, false);
      EXPECT_EQ(cam->SnapForPin(still.data(), uint32_t(still.size()), &cancel), S_OK);
      EXPECT_EQ(puller.pull(3, std::chrono::seconds(10)), 3u) << "preview after the still";
    }
    EXPECT_EQ(cam->stop(), S_OK);
  }
  EXPECT_EQ(cam->close(), S_OK);  // close deletes the camera
  cam_ = nullptr;
}

const Registration kRegistrations[] = {
    {"Rostrel", 0xC310, Flavour::Kernel},
    {"RostrelUsb2", 0xD310, Flavour::Kernel},
    {"Pelvane", 0x3310, Flavour::Kernel},
    {"PelvaneUsb2", 0x4310, Flavour::Kernel},
    {"RostrelWinUsb", 0xC310, Flavour::WinUsb},
};
INSTANTIATE_TEST_SUITE_P(Registrations, Usb3_31Stream, ::testing::ValuesIn(kRegistrations), nameOf);

}  // namespace
