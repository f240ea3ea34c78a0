// Two host threads change image properties while the real frame driver converts every frame;
// run under the thread checker, any unlocked store the driver reads shows up here.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "tests/support/fake_model.h"

namespace {

using Clock = std::chrono::steady_clock;

std::atomic<uint32_t> framesSeen{0};

void onFrame(const uint8_t* data, const LumorixFrameHeader*, int32_t, void*) {
  if (data) ++framesSeen;
}

TEST(ImagePropertiesRace, HostThreadsSetControlsWhileFramesFlow) {
  FakeModelConfig config;
  config.withState = true;
  config.frameIntervalMs = 5;
  FakeModel cam(config);
  framesSeen = 0;
  ASSERT_EQ(cam.start(onFrame, nullptr, nullptr, nullptr, nullptr), S_OK);
  // Two seconds and at least kFrames converted frames (a loaded, instrumented run converts few a
  // second), never more than the hard bound.
  constexpr uint32_t kFrames = 20;
  const auto start = Clock::now();
  const auto going = [&] {
    const auto now = Clock::now();
    if (now > start + std::chrono::seconds(30)) return false;
    return now < start + std::chrono::seconds(2) || framesSeen.load() <= kFrames;
  };
  std::thread colour([&] {
    for (int32_t i = 0; going(); ++i) {
      cam.put_Hue(i % 360 - 180);
      cam.put_Saturation(uint32_t(i % 256));
      cam.put_Brightness(i % 129 - 64);
      cam.put_Contrast(i % 201 - 100);
      cam.put_Gamma(20 + i % 161);
      cam.put_Chrome(i & 8);
      cam.put_Negative(i & 4);
      cam.put_VFlip(i & 2);
      cam.put_VignetteAmountInt(i % 201 - 100);
    }
  });
  std::thread geometry([&] {
    for (int32_t i = 0; going(); ++i) {
      cam.put_HFlip(i & 1);
      cam.put_VignetteEnable(i & 4);
      cam.put_VignetteMidPointInt(i % 101);
      const RECT window{i % 500, i % 300, 520 + i % 500, 320 + i % 400};
      cam.put_AERect(&window);
      cam.put_AeWindowMark(i & 16);
    }
  });
  colour.join();
  geometry.join();
  const uint32_t seen = framesSeen.load();
  EXPECT_EQ(cam.stop(), S_OK);
  EXPECT_GT(seen, kFrames);  // frames really flowed through the driver meanwhile
}

}  // namespace
