// The region of interest: what put_Roi accepts and keeps, how get_Roi reads it back, and how a
// streaming 3.1 MP camera on its simulated device takes a new region, with and without a
// settings key and in software trigger mode.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "base/lumorix_events.h"
#include "pipeline/pl_setters.h"
#include "tests/models/model_rig.h"
#include "tests/support/fake_model.h"

namespace {

using testing_models::ModelRig;

constexpr uint32_t kW = 1024, kH = 770;  // the fake model's and the camera's preview size

bool sameRect(const SensorRect& a, const SensorRect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(RoiProperty, AcceptsOnlyEvenRegionsInsideThePreviewAndKeepsTheLastGoodOne) {
  struct Row {
    const char* name;
    uint32_t x, y, w, h;
    HRESULT expected;
    SensorRect stored;  // top-down, as the transport keeps it; empty: the whole frame
  };
  const SensorRect previous{100, 100, 164, 164};
  const Row rows[] = {
      {"odd x", 1, 0, 64, 64, E_INVALIDARG, previous},
      {"odd y", 0, 3, 64, 64, E_INVALIDARG, previous},
      {"odd width", 0, 0, 65, 64, E_INVALIDARG, previous},
      {"odd height", 0, 0, 64, 63, E_INVALIDARG, previous},
      {"width 14", 0, 0, 14, 64, E_INVALIDARG, previous},
      {"height 14", 0, 0, 64, 14, E_INVALIDARG, previous},
      {"16 x 16", 0, 0, 16, 16, S_OK, {0, 0, 16, 16}},
      {"height without the rest", 0, 0, 0, 6, E_INVALIDARG, previous},
      {"all zero", 0, 0, 0, 0, S_OK, {}},
      {"whole frame", 0, 0, kW, kH, S_OK, {}},
      {"x at the width", kW, 0, 16, 16, E_INVALIDARG, previous},
      {"past the right edge", kW - 30, 0, 32, 16, E_INVALIDARG, previous},
      {"to the right edge", kW - 32, 0, 32, 16, S_OK, {kW - 32, 0, kW, 16}},
      {"past the bottom", 0, kH - 14, 16, 16, E_INVALIDARG, previous},
      {"to the bottom", 0, kH - 16, 16, 16, S_OK, {0, kH - 16, 16, kH}},
      {"wider than the frame", 0, 0, kW + 2, 16, E_INVALIDARG, previous},
      {"x that wraps", 0xFFFFFFF0u, 0, 32, 16, E_INVALIDARG, previous},
      {"height that wraps", 0, 32, 16, 0xFFFFFFF0u, E_INVALIDARG, previous},
  };
  for (const Row& row : rows) {
    FakeModel cam;
    ASSERT_EQ(cam.put_Roi(100, 100, 64, 64), S_OK);
    EXPECT_EQ(cam.put_Roi(row.x, row.y, row.w, row.h), row.expected) << row.name;
    EXPECT_TRUE(sameRect(cam.usb().requestedRoi(), row.stored)) << row.name;
    uint32_t x = 1, y = 1, w = 1, h = 1;
    ASSERT_EQ(cam.get_Roi(&x, &y, &w, &h), S_OK) << row.name;
    const SensorRect& s = row.stored;
    const bool whole = s.right == 0;
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(s.left, s.top)) << row.name;
    EXPECT_EQ(w, whole ? kW : s.right - s.left) << row.name;
    EXPECT_EQ(h, whole ? kH : s.bottom - s.top) << row.name;
  }
}

// Upside down, the transport keeps the rows counted from the bottom; the host reads its own y.
TEST(RoiProperty, UpsideDownKeepsTheRowsFromTheBottomAndReadsBackTheSameY) {
  for (const uint8_t upsideDown : {0, 1}) {
    FakeModel cam(FakeModelConfig{.withHelper = true});
    cam.fakeHelper()->rowOrder = upsideDown;
    ASSERT_EQ(cam.put_Roi(64, 100, 128, 64), S_OK);
    const SensorRect stored = cam.usb().requestedRoi();
    EXPECT_EQ(stored.top, upsideDown ? kH - 100 - 64 : 100u) << int(upsideDown);
    EXPECT_EQ(stored.bottom - stored.top, 64u);
    uint32_t x = 0, y = 0, w = 0, h = 0;
    ASSERT_EQ(cam.get_Roi(&x, &y, &w, &h), S_OK);
    EXPECT_EQ(std::make_tuple(x, y, w, h), std::make_tuple(64u, 100u, 128u, 64u))
        << int(upsideDown);
    EXPECT_EQ(cam.get_Roi(nullptr, &y, nullptr, nullptr), S_OK) << "null pointers are skipped";
  }
}

TEST(RoiProperty, StillsOfAnotherSizeRefuseTheRegion) {
  const struct {
    const char* name;
    std::vector<ResolutionEntry> stills;
    HRESULT expected;
  } rows[] = {
      {"stills at the preview size", {}, S_OK},
      {"the same sizes listed", {{1024, 770, 1, 1}, {2048, 1534, 1, 1}}, S_OK},
      {"another still size", {{1032, 776, 1, 1}, {2048, 1534, 1, 1}}, E_NOTIMPL},
  };
  for (const auto& row : rows) {
    FakeModel cam(FakeModelConfig{.stills = row.stills});
    EXPECT_EQ(cam.put_Roi(0, 0, 64, 64), row.expected) << row.name;
    uint32_t x = 0;
    EXPECT_EQ(cam.get_Roi(&x, nullptr, nullptr, nullptr), row.expected) << row.name;
  }
}

// Pull-mode streaming on the simulated 3.1 MP camera at 1024 x 770, the events kept.
class RoiStream : public ::testing::Test {
 protected:
  void SetUp() override { rig_.device().setFramePeriodMs(5); }
  void TearDown() override { rig_.close(); }

  BaseImpl* start(WCHAR16 prefix, bool trigger = false) {
    if (!rig_.open(prefix)) return nullptr;
    BaseImpl& cam = rig_.camera();
    if (cam.put_eSize(1) != S_OK) return nullptr;
    rig_.camera().device().triggerMode = trigger ? 1 : 0;
    if (cam.start(nullptr, nullptr, nullptr, nullptr, nullptr, onEvent, this) != S_OK)
      return nullptr;
    return &cam;
  }
  static void onEvent(uint32_t code, void* context) {
    auto* self = static_cast<RoiStream*>(context);
    std::lock_guard<std::mutex> hold(self->lock_);
    if (code != kEventImage) self->events_.push_back(code);
  }
  bool saw(uint32_t code) {
    std::lock_guard<std::mutex> hold(lock_);
    return std::find(events_.begin(), events_.end(), code) != events_.end();
  }
  // The size of the next pulled frame; (0, 0) when none came within the bound.
  std::pair<uint32_t, uint32_t> nextSize(std::chrono::milliseconds bound) {
    const auto end = std::chrono::steady_clock::now() + bound;
    LumorixFrameInfo info{};
    while (std::chrono::steady_clock::now() < end) {
      if (rig_.camera().PullImage(frame_.data(), 24, 0, &info) == S_OK)
        return {info.width, info.height};
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return {0, 0};
  }
  // True when one of the next n frames has the size, and so does every frame after it.
  bool reachesSize(uint32_t n, uint32_t w, uint32_t h) {
    for (uint32_t i = 0; i < n; ++i) {
      if (nextSize(std::chrono::seconds(5)) != std::make_pair(w, h)) continue;
      for (int more = 0; more < 3; ++more)
        if (nextSize(std::chrono::seconds(5)) != std::make_pair(w, h)) return false;
      return true;
    }
    return false;
  }
  // Both calibrations set to average many frames, a flat-field run in progress: a new region
  // throws all of it away.
  void startCalibrationRuns() {
    PLHlperBase& h = rig_.helper();
    ASSERT_EQ(PL_SetFfcStatus(h, 0xFF0000FFu), S_OK);
    ASSERT_EQ(PL_FfcOnePush(h), S_OK);
    ASSERT_EQ(PL_SetDfcStatus(h, 0xFF0000FFu), S_OK);
    ASSERT_EQ(calibrationLeft(), 2 * 255 + 1);
  }
  // The frames each calibration still wants, and the flat-field run's request.
  int calibrationLeft() {
    const PLContext& c = *rig_.helper().ctx8;
    std::lock_guard<platform::RecursiveLock> ffc(*c.mtxFfc);
    std::lock_guard<platform::RecursiveLock> dfc(*c.mtxDfc);
    return c.ffcFrames + c.dfcFrames + c.ffcRequest;
  }

  ModelRig rig_{testing_models::RigOptions{.realTime = true}};
  std::vector<uint8_t> frame_ = std::vector<uint8_t>(size_t{kW} * kH * 3);
  std::mutex lock_;
  std::vector<uint32_t> events_;
};

// With a settings key the grabber takes the region at its next frame; without one the stream
// restarts once. Either way the sensor window is written (event 11) and calibration restarts.
TEST_F(RoiStream, ANewRegionReachesTheFramesWithinFiveFrames) {
  const struct {
    const char* name;
    WCHAR16 prefix;
    uint32_t restarts;
  } rows[] = {{"settings key", ZX_W('!'), 0}, {"no settings key", 0, 1}};
  for (const auto& row : rows) {
    BaseImpl* cam = start(row.prefix);
    ASSERT_NE(cam, nullptr) << row.name;
    ASSERT_TRUE(reachesSize(5, kW, kH)) << row.name;
    startCalibrationRuns();
    const uint32_t steps = cam->startSteps();
    ASSERT_EQ(cam->put_Roi(64, 32, 320, 240), S_OK) << row.name;
    EXPECT_TRUE(reachesSize(5, 320, 240)) << row.name;
    EXPECT_EQ(cam->startSteps() - steps, row.restarts) << row.name;
    EXPECT_TRUE(saw(kEventRegion)) << row.name;
    EXPECT_EQ(calibrationLeft(), 0) << row.name;
    ASSERT_EQ(cam->put_Roi(0, 0, 0, 0), S_OK) << row.name;
    EXPECT_TRUE(reachesSize(5, kW, kH)) << row.name << ": back to the whole frame";
    EXPECT_EQ(cam->stop(), S_OK);
    events_.clear();
  }
}

// Only the host's trigger lets the grabber take the region: put_Roi must not wait for it.
TEST_F(RoiStream, InSoftwareTriggerModeTheNextTriggerBringsTheRegion) {
  BaseImpl* cam = start(ZX_W('!'), true);
  ASSERT_NE(cam, nullptr);
  ASSERT_EQ(cam->trigger(1), S_OK);
  ASSERT_EQ(nextSize(std::chrono::seconds(10)), std::make_pair(kW, kH));
  EXPECT_EQ(cam->put_Roi(64, 32, 320, 240), S_OK);
  ASSERT_EQ(cam->trigger(1), S_OK);
  EXPECT_EQ(nextSize(std::chrono::seconds(10)), std::make_pair(320u, 240u));
  EXPECT_EQ(nextSize(std::chrono::milliseconds(200)), std::make_pair(0u, 0u)) << "one frame only";
  EXPECT_EQ(cam->stop(), S_OK);
}

}  // namespace
