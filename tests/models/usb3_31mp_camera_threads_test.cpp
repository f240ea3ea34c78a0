// The 3.1 MP camera with its stream threads running: exposure set from another thread while AE
// streams, and a started camera deleted.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "tests/models/model_rig.h"

namespace {

using testing_models::ModelRig;

// A streaming camera at the small resolution with AE on (the '!' prefix's default).
CmosCamera* StartStreaming(ModelRig& rig) {
  rig.device().setFramePeriodMs(5);
  sim::SceneOptions scene;
  scene.bayerOrder = 0;
  scene.referenceExposureUs = 94000;
  rig.device().setContent(sim::ContentKind::Scene, scene);
  CmosCamera* cam = rig.open();
  if (!cam || cam->put_eSize(1) != S_OK || cam->start() != S_OK) return nullptr;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (cam->framesGrabbed() < 3 && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  return cam->framesGrabbed() >= 3 ? cam : nullptr;
}

TEST(Usb3_31Threads, ExposureProgramsStayWholeWhileAeStreams) {
  ModelRig rig({.realTime = true});
  CmosCamera* cam = StartStreaming(rig);
  ASSERT_NE(cam, nullptr);
  rig.log().clear();
  std::atomic<bool> done{false};
  std::thread setter([&] {
    // Alternating across the doubling point, so most exposure programs rewrite the line length.
    for (uint32_t i = 0; i < 500; ++i) {
      rig.setExposure(i % 2 ? 2000000 : 94000 + i);
      ExpoProcAGain(rig.helper(), uint16_t(100 + i % 190), 0);
    }
    done = true;
  });
  // An application reading images meanwhile asks the camera for its output shape.
  std::vector<uint8_t> image(size_t{1024} * 770 * 3);
  LumorixFrameInfo info{};
  while (!done) {
    cam->PullImage(image.data(), 24, 0, &info);
    std::this_thread::yield();
  }
  setter.join();
  const auto writes = rig.log().ofKind(sim::LogKind::RegisterWrite);
  EXPECT_EQ(cam->stop(), S_OK);

  size_t exposures = 0;
  for (size_t k = 0; k < writes.size(); ++k) {
    if (writes[k].code == 0x3012) ++exposures;
    if (writes[k].code != 0x300C) continue;
    ASSERT_LT(k + 1, writes.size());
    EXPECT_EQ(writes[k + 1].code, 0x3012u)
        << "line length at " << k << " not followed by its lines";
  }
  EXPECT_GE(exposures, 400u);
}

TEST(Usb3_31Threads, DeletingAStartedCameraStopsItFirst) {
  ModelRig rig({.realTime = true});
  ASSERT_NE(StartStreaming(rig), nullptr);
  rig.close();
  EXPECT_EQ(rig.device().outstandingReads(), 0u);
  EXPECT_EQ(rig.device().systemInitValue(), 0);
  const auto traffic = rig.traffic();
  const auto stopped =
      std::find(traffic.begin(), traffic.end(), ModelRig::WriteText(0x301A, 0x10C8));
  ASSERT_NE(stopped, traffic.end());
  EXPECT_NE(std::find(stopped, traffic.end(), "close"), traffic.end());
}

}  // namespace
