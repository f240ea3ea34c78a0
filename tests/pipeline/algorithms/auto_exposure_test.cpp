// Auto exposure units: the mains snap, the measures, the step's guards and trades.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "pipeline/algorithms/auto_exposure.h"
#include "tests/pipeline/pipeline_kit.h"

namespace zxtest {
namespace {

PLContextPtr aeState(uint8_t policy, uint32_t mains = 2, uint32_t w = 40, uint32_t h = 30) {
  PLInitParams p = paramsFor({w, h});
  p.hasLightFrequency = 1;
  p.timeMin = 100, p.timeMax = 1000000;
  PLContextPtr c(PL_Init(&p));
  c->settings.aePolicy = policy;
  c->settings.lightFrequency = mains;
  c->settings.aeEnable = 1;
  c->aeRectPx = {0, 0, int32_t(w), int32_t(h)};
  return c;
}

std::vector<uint8_t> flat(uint32_t w, uint32_t h, uint8_t v) {
  return std::vector<uint8_t>(size_t(w) * h, v);
}

TEST(AutoExposure, SnapToMainsPeriods) {
  auto c = aeState(1, 1);
  c->timeMax = 1000000;
  const struct {
    uint32_t mode, in, out;
  } table[] = {{1, 14999, 10000}, {1, 15000, 20000}, {1, 4999, 10000}, {1, 400000, 400000},
               {0, 12500, 16666}, {0, 1, 8333},      {2, 12345, 12345}};
  for (const auto& row : table) {
    c->settings.lightFrequency = row.mode;
    EXPECT_EQ(AeSnapExposureTime(c.get(), row.in), row.out) << row.mode << " " << row.in;
  }
  // The limit is the model's longest time, not the AE maximum.
  c->settings.lightFrequency = 1;
  c->aeTimeMax = 350000;
  EXPECT_EQ(AeSnapExposureTime(c.get(), 400000), 400000u);
  c->timeMax = 25000;
  EXPECT_EQ(AeSnapExposureTime(c.get(), 26000), 20000u);
  EXPECT_EQ(AeSnapExposureTime<uint8_t>(nullptr, 26000), 26000u);
}

TEST(AutoExposure, ActsOnEveryThirdFrame) {
  auto c = aeState(0);
  c->settings.expoTime = 10000;
  auto dark = flat(40, 30, 60);
  std::vector<int> changedAt;
  uint32_t last = c->settings.expoTime;
  for (int frame = 1; frame <= 9; ++frame) {
    AutoExposure(c.get(), dark.data(), nullptr);
    if (c->settings.expoTime != last) changedAt.push_back(frame);
    last = c->settings.expoTime;
    c->settings.expoTime = 10000;  // the scene stays as dark
    last = 10000;
  }
  EXPECT_EQ(changedAt, (std::vector<int>{3, 6, 9}));
}

TEST(AutoExposure, DeadBandResetsTheSearch) {
  auto c = aeState(0);
  c->settings.expoTime = 10000;
  c->aeCallCount = 2;
  auto dark = flat(40, 30, 60);
  AutoExposure(c.get(), dark.data(), nullptr);
  ASSERT_EQ(c->aeStatus, 1u);
  c->aeCallCount = 2;
  auto good = flat(40, 30, 123);
  AutoExposure(c.get(), good.data(), nullptr);
  EXPECT_EQ(c->aeStatus, 0u);
}

// One step from state 0: trades are 64-bit and clamped to the AE ranges; over-exposure drops
// time and gain to their minimums at once, without waiting for the third frame.
TEST(AutoExposure, StepsFromStateZero) {
  const struct {
    const char* name;
    uint8_t policy;
    uint32_t time, maxTime;
    uint16_t gain;
    uint32_t callCount;  // 0: as created
    uint8_t level;
    uint32_t wantTime;
    uint16_t wantGain;
  } table[] = {
      {"policy 1 within range", 1, 300000, 1000000, 300, 2, 20, 900000, 100},
      {"policy 1 clamped", 1, 300000, 500000, 300, 2, 20, 500000, 100},
      {"policy 3 clamped", 3, 100000, 1000000, 100, 2, 20, 100, 1000},
      {"policy 1 over-exposed", 1, 50000, 1000000, 400, 0, 231, 100, 100},
      {"policy 3 over-exposed", 3, 50000, 1000000, 400, 0, 231, 100, 100},
  };
  for (const auto& row : table) {
    auto c = aeState(row.policy);
    c->aeTimeMax = row.maxTime;
    c->settings.expoTime = row.time, c->settings.expoGain = row.gain;
    if (row.callCount) c->aeCallCount = row.callCount;
    auto frame = flat(40, 30, row.level);
    AutoExposure(c.get(), frame.data(), nullptr);
    EXPECT_EQ(c->settings.expoTime, row.wantTime) << row.name;
    EXPECT_EQ(c->settings.expoGain, row.wantGain) << row.name;
    EXPECT_TRUE(row.level <= 230 || c->aeStatus == 0) << row.name << ": over-exposure resets";
  }
}

TEST(AutoExposure, WindowOutsideTheRegionChangesNothing) {
  auto c = aeState(0);
  c->settings.expoTime = 10000;
  c->aeCallCount = 2;
  c->aeRectPx = {0, 0, 10, 10};
  const ImageRect region{20, 10, 40, 30};
  auto dark = flat(20, 20, 10);
  AutoExposure(c.get(), dark.data(), &region);
  EXPECT_EQ(c->settings.expoTime, 10000u);
  EXPECT_EQ(c->aeCallCount, 2u);
}

// The measures: exact means of bytes, words and packed YUV; auxiliary sums clamp to a byte; a
// full 4096 x 3288 frame does not overflow the scaled sum; frames are bottom-up, so window row
// `top` reads memory row h - 1 - top; a window outside the frame gives -1.
TEST(AutoExposure, Measures) {
  const ImageRect all{0, 0, 4, 2};
  const uint8_t bytes[8] = {10, 20, 30, 40, 50, 60, 70, 81};
  EXPECT_EQ(GetAverageIntensityByte(4, 2, all, 8, false, bytes), 45);  // 361 / 8
  EXPECT_EQ(GetAverageIntensityByte(4, 2, {5, 0, 9, 2}, 8, false, bytes), -1);
  EXPECT_EQ(GetAverageIntensityByte(4, 2, {0, 1, 4, 2}, 8, false, bytes), 25);  // memory row 0
  const uint16_t words[8] = {160, 320, 480, 640, 800, 960, 1120, 1296};
  EXPECT_EQ(GetAverageIntensityUshort(4, 2, all, 12, false, words), 45);  // 722 >> 4
  // Packed U, V, Y0, Y1 (format 6) and U, Y, V, Y (format 11); identity luma table.
  int32_t luma[256];
  for (int i = 0; i < 256; ++i) luma[i] = i;
  const uint8_t yuv6[8] = {0, 0, 100, 110, 0, 0, 120, 130};
  EXPECT_EQ(GetAverageIntensityYuv(4, 1, {0, 0, 4, 1}, yuv6, luma, false, 6, 8), 115);
  const uint8_t yuv11[8] = {0, 100, 0, 110, 0, 120, 0, 131};
  EXPECT_EQ(GetAverageIntensityYuv(4, 1, {0, 0, 4, 1}, yuv11, luma, false, 11, 8), 115);
  for (auto [sum, want] : {std::pair{-int64_t{5000}, 0}, {int64_t{1} << 40, 255}}) {
    std::vector<uint8_t> frame(4 * 2 + 24, 0);
    const int64_t sums[3] = {sum, sum - 1000, sum - 2000};
    std::memcpy(frame.data() + 8, sums, sizeof sums);
    EXPECT_EQ(GetAverageIntensityByte(4, 2, all, 8, true, frame.data()), want) << sum;
  }
  const uint32_t w = 4096, h = 3288;
  std::vector<uint8_t> frame(size_t(w) * h, 255);
  EXPECT_EQ(GetAverageIntensityByteScaled(w, h, {0, 0, int32_t(w), int32_t(h)}, frame.data()), 255);
}

}  // namespace
}  // namespace zxtest
