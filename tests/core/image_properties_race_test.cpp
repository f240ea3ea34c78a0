// Two host threads change image properties while the real frame driver converts every frame;
// run under the thread checker, any unlocked store the driver reads shows up here.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "core/lumorix_options.h"
#include "tests/support/fake_model.h"

namespace {

using Clock = std::chrono::steady_clock;

std::atomic<uint32_t> framesSeen{0};

void onFrame(const uint8_t* data, const LumorixFrameHeader*, int32_t, void*) {
  if (data) ++framesSeen;
}

using HostLoop = std::function<void(FakeModel&, int32_t)>;

// Two host threads each run their loop, round after round, while the driver converts: two seconds
// and at least kFrames converted frames (a loaded, instrumented run converts few a second), never
// more than the hard bound.
void whileFramesFlow(const HostLoop& first, const HostLoop& second) {
  FakeModelConfig config;
  config.withState = true;
  config.frameIntervalMs = 5;
  FakeModel cam(config);
  framesSeen = 0;
  ASSERT_EQ(cam.start(onFrame, nullptr, nullptr, nullptr, nullptr), S_OK);
  constexpr uint32_t kFrames = 20;
  const auto start = Clock::now();
  const auto going = [&] {
    const auto now = Clock::now();
    if (now > start + std::chrono::seconds(30)) return false;
    return now < start + std::chrono::seconds(2) || framesSeen.load() <= kFrames;
  };
  // A short rest each round lets the driver take the settings lock between the calls' holds, so
  // frames keep coming on a loaded, instrumented run while the calls still overlap them.
  const auto run = [&](const HostLoop& loop) {
    for (int32_t i = 0; going(); ++i) {
      loop(cam, i);
      std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
  };
  std::thread a(run, std::cref(first)), b(run, std::cref(second));
  a.join();
  b.join();
  const uint32_t seen = framesSeen.load();
  EXPECT_EQ(cam.stop(), S_OK);
  EXPECT_GT(seen, kFrames);  // frames really flowed through the driver meanwhile
}

TEST(ImagePropertiesRace, HostThreadsSetControlsWhileFramesFlow) {
  whileFramesFlow(
      [](FakeModel& cam, int32_t i) {
        cam.put_Hue(i % 360 - 180);
        cam.put_Saturation(uint32_t(i % 256));
        cam.put_Brightness(i % 129 - 64);
        cam.put_Contrast(i % 201 - 100);
        cam.put_Gamma(20 + i % 161);
        cam.put_Chrome(i & 8);
        cam.put_Negative(i & 4);
        cam.put_VFlip(i & 2);
        cam.put_VignetteAmountInt(i % 201 - 100);
      },
      [](FakeModel& cam, int32_t i) {
        cam.put_HFlip(i & 1);
        cam.put_VignetteEnable(i & 4);
        cam.put_VignetteMidPointInt(i % 101);
        const RECT window{i % 500, i % 300, 520 + i % 500, 320 + i % 400};
        cam.put_AERect(&window);
        cam.put_AeWindowMark(i & 16);
      });
}

// The colour switches, demosaic methods and the turn that keeps the shape, against the colour
// setters that feed the same tables, while the driver converts.
TEST(ImagePropertiesRace, ColourOptionsAndSettersWhileFramesFlow) {
  whileFramesFlow(
      [](FakeModel& cam, int32_t i) {
        EXPECT_EQ(cam.put_Option(LUMORIX_OPTION_COLORMATRIX, i & 1), S_OK);
        EXPECT_EQ(cam.put_Option(LUMORIX_OPTION_WBGAIN, i & 2), S_OK);
        int32_t value = 0;
        cam.get_Option(LUMORIX_OPTION_COLORMATRIX, &value);
        cam.get_Option(LUMORIX_OPTION_WBGAIN, &value);
        cam.put_Option(LUMORIX_OPTION_DEMOSAIC, i % 3);
        cam.put_Option(LUMORIX_OPTION_DEMOSAIC_VIDEO, (i + 1) % 3);
        cam.put_Option(LUMORIX_OPTION_DEMOSAIC_STILL, (i + 2) % 3);
        cam.get_Option(LUMORIX_OPTION_DEMOSAIC, &value);
        EXPECT_TRUE(SUCCEEDED(cam.put_Option(LUMORIX_OPTION_ROTATE, i & 4 ? 180 : 0)));
        cam.get_Option(LUMORIX_OPTION_ROTATE, &value);
      },
      [](FakeModel& cam, int32_t i) {
        const double matrix[9] = {1.0 + (i % 5) * 0.1, -0.1, -0.1, -0.1, 1.2, -0.1, 0, -0.2, 1.2};
        const uint16_t gains[3] = {uint16_t(256 + i % 64), 256, uint16_t(300 - i % 32)};
        EXPECT_EQ(cam.put_ColorMatrix(matrix), S_OK);
        EXPECT_EQ(cam.put_WbGainBase(gains), S_OK);
        EXPECT_EQ(cam.put_Hue(i % 360 - 180), S_OK);
        EXPECT_EQ(cam.put_TempTint(2000 + i % 8000, 200 + i % 2000), S_OK);
      });
}

}  // namespace
