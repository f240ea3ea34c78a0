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
  // Never beyond the model's longest time; shorter than one period, the time is kept, cut to it.
  const struct {
    uint32_t mode, longest, in, out;
  } shortModels[] = {{0, 5000, 8000, 5000},    {0, 5000, 1000, 1000},  {0, 8333, 8000, 8333},
                     {0, 16666, 30000, 16666}, {1, 9999, 12000, 9999}, {1, 30000, 90000, 30000}};
  for (const auto& row : shortModels) {
    c->settings.lightFrequency = row.mode, c->timeMax = row.longest;
    EXPECT_EQ(AeSnapExposureTime(c.get(), row.in), row.out) << row.longest << " " << row.in;
  }
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

// One full step of the search from a given state, references and trial point. Limits: time
// 100..1000000 us (10000..1000000 on the 50 Hz grid), gain 100..1000, target 120, dead band 5.
struct AeRef {
  int32_t bri;
  uint32_t timeUs;
  int32_t gain;
};
struct AePoint {
  uint32_t state;
  AeRef refs[4];
  uint32_t lastBri, timeUs;
  uint16_t gain;
};
struct AeCase {
  const char* name;
  uint8_t policy;
  uint32_t mains;
  uint8_t bri;             // the measured brightness
  uint32_t longestUs = 0;  // 0: the limits above
  uint32_t aeMaxUs = 0;    // the user's longest time for AE; 0: the model's
};
struct AeTransition {
  AeCase how;
  AePoint before, after;
};

constexpr uint32_t k50 = kLight50Hz, kNo = kLightSteady;

const AeTransition kTransitions[] = {
    // The over-exposure boundary: 230 still measures the scene, 231 drops to the minimums.
    {{"230 is measured", 1, kNo, 230},
     {0, {}, 0, 10000, 100},
     {1, {{230, 10000, 100}}, 0, 5217, 100}},
    {{"231 drops at once", 1, kNo, 231}, {0, {}, 0, 10000, 400}, {0, {}, 0, 100, 100}},
    {{"231 over a 231 reference drops", 1, kNo, 240},
     {1, {{231, 5000, 100}}, 0, 5000, 300},
     {0, {{231, 5000, 100}}, 0, 100, 100}},
    {{"231 over a 230 reference searches", 1, kNo, 231},
     {1, {{230, 5000, 100}}, 0, 5000, 100},
     {1, {{231, 5000, 100}}, 0, 2597, 100}},
    {{"restart at 230 takes a reference", 0, kNo, 230},
     {2, {{100, 10000, 0}, {200, 30000, 0}}, 100, 30000, 100},
     {1, {{230, 30000, 0}, {200, 30000, 0}}, 100, 15652, 100}},
    {{"restart at 231 drops", 0, kNo, 231},
     {2, {{100, 10000, 0}, {200, 30000, 0}}, 100, 30000, 100},
     {0, {{100, 10000, 0}, {200, 30000, 0}}, 100, 100, 100}},
    // A scene drifts by up to 2 (4 on the mains grid) beyond the bracket before it restarts.
    {{"3 below the bracket restarts", 0, kNo, 101},
     {2, {{104, 10000, 0}, {140, 14000, 0}}, 104, 10000, 100},
     {1, {{101, 10000, 0}, {140, 14000, 0}}, 104, 11881, 100}},
    {{"2 below the bracket stays", 0, kNo, 102},
     {2, {{104, 10000, 0}, {140, 14000, 0}}, 104, 10000, 100},
     {2, {{102, 10000, 0}, {140, 14000, 0}}, 102, 11895, 100}},
    {{"5 below on the grid restarts", 1, k50, 99},
     {2, {{104, 20000, 100}, {140, 30000, 100}}, 104, 20000, 100},
     {1, {{99, 20000, 100}, {140, 30000, 100}}, 104, 30000, 100}},
    {{"4 below on the grid, one period apart: gain search", 1, k50, 100},
     {2, {{104, 20000, 100}, {140, 30000, 100}}, 104, 20000, 100},
     {3, {{100, 20000, 100}, {140, 30000, 100}, {100, 20000, 100}}, 100, 20000, 120}},
    // A restart that trades gain for time ends the step and keeps the search where it was.
    {{"restart trading gain for time", 1, kNo, 50},
     {2, {{100, 10000, 100}, {140, 14000, 100}}, 100, 10000, 300},
     {2, {{100, 10000, 100}, {140, 14000, 100}}, 100, 30000, 100}},
    {{"restart trading time for gain", 3, kNo, 50},
     {2, {{100, 100, 200}, {140, 100, 300}}, 100, 400, 200},
     {2, {{100, 100, 200}, {140, 100, 300}}, 100, 100, 800}},
    // Bracketing needs the exposure to have moved since the reference.
    {{"far side, not moved: new reference", 0, kNo, 140},
     {1, {{100, 20000, 0}}, 0, 20000, 100},
     {1, {{140, 20000, 0}}, 0, 17142, 100}},
    {{"far side, moved brighter: bracket", 0, kNo, 140},
     {1, {{100, 20000, 0}}, 0, 24000, 100},
     {2, {{100, 20000, 0}, {140, 24000, 0}}, 140, 22000, 100}},
    {{"far side, moved darker: bracket", 0, kNo, 100},
     {1, {{140, 20000, 0}}, 0, 16000, 100},
     {2, {{100, 16000, 0}, {140, 20000, 0}}, 100, 18000, 100}},
    {{"gain search, not moved", 1, k50, 140},
     {3, {{100, 40000, 100}, {140, 50000, 100}, {100, 40000, 200}}, 0, 40000, 200},
     {3, {{100, 40000, 100}, {140, 50000, 100}, {140, 40000, 200}}, 0, 40000, 171}},
    {{"gain search, moved: gain bracket", 1, k50, 140},
     {3, {{100, 40000, 100}, {140, 50000, 100}, {100, 40000, 200}}, 0, 40000, 250},
     {4,
      {{100, 40000, 100}, {140, 50000, 100}, {100, 40000, 200}, {140, 40000, 250}},
      140,
      40000,
      225}},
    {{"gain bracket interpolates", 1, k50, 110},
     {4, {{}, {}, {100, 40000, 200}, {140, 40000, 300}}, 140, 40000, 250},
     {4, {{}, {}, {110, 40000, 250}, {140, 40000, 300}}, 110, 40000, 267}},
    {{"dead band ends the gain bracket", 1, k50, 123},
     {4, {{}, {}, {100, 40000, 200}, {140, 40000, 300}}, 140, 40000, 250},
     {0, {{}, {}, {100, 40000, 200}, {140, 40000, 300}}, 140, 40000, 250}},
    // The gain search scales by at most 10.
    {{"gain search capped at 10x", 1, k50, 10},
     {3, {{100, 40000, 100}, {140, 50000, 100}, {14, 40000, 100}}, 0, 40000, 100},
     {3, {{100, 40000, 100}, {140, 50000, 100}, {10, 40000, 100}}, 0, 40000, 1000}},
    // An over-exposed bright reference moves the time a quarter of the way up from the dark one.
    {{"over-exposed bright reference", 0, kNo, 100},
     {2, {{100, 10000, 0}, {240, 50000, 0}}, 150, 10000, 100},
     {2, {{100, 10000, 0}, {240, 50000, 0}}, 100, 20000, 100}},
    // Time first on the grid: a trial point never repeats a reference's period.
    {{"one reference, snapped back up: one period more", 1, k50, 110},
     {1, {{105, 40000, 100}}, 0, 50000, 100},
     {1, {{110, 50000, 100}}, 0, 60000, 100}},
    {{"one reference, snapped back down: one period less", 1, k50, 130},
     {1, {{135, 40000, 100}}, 0, 50000, 100},
     {1, {{130, 50000, 100}}, 0, 40000, 100}},
    {{"bracket one period wide: the dark time", 1, k50, 135},
     {2, {{110, 40000, 100}, {140, 50000, 100}}, 110, 50000, 100},
     {2, {{110, 40000, 100}, {135, 50000, 100}}, 135, 40000, 100}},
    {{"bracket snaps to its dark end: one period more", 1, k50, 112},
     {2, {{110, 20000, 100}, {200, 60000, 100}}, 150, 20000, 100},
     {2, {{112, 20000, 100}, {200, 60000, 100}}, 112, 30000, 100}},
    {{"bracket snaps to its bright end: one period less", 1, k50, 125},
     {2, {{84, 20000, 100}, {130, 60000, 100}}, 84, 60000, 100},
     {2, {{84, 20000, 100}, {125, 60000, 100}}, 125, 50000, 100}},
    // A bracket whose darker point has the longer exposure belongs to another scene.
    {{"time only, times reversed", 0, kNo, 110},
     {2, {{100, 60000, 0}, {140, 40000, 0}}, 130, 40000, 100},
     {1, {{110, 40000, 0}, {140, 40000, 0}}, 130, 43636, 100}},
    {{"gain only, gains reversed", 2, kNo, 110},
     {2, {{100, 0, 600}, {140, 0, 400}}, 130, 10000, 400},
     {1, {{110, 0, 400}, {140, 0, 400}}, 130, 10000, 436}},
    {{"time first, gains reversed", 1, kNo, 110},
     {2, {{100, 40000, 300}, {140, 60000, 200}}, 130, 40000, 100},
     {1, {{110, 40000, 100}, {140, 60000, 200}}, 130, 43636, 100}},
    {{"time first, equal gains, times reversed", 1, kNo, 110},
     {2, {{100, 60000, 100}, {140, 40000, 100}}, 130, 40000, 100},
     {1, {{110, 40000, 100}, {140, 40000, 100}}, 130, 43636, 100}},
    {{"gain first, times reversed", 3, kNo, 110},
     {2, {{100, 3000, 400}, {140, 2000, 400}}, 130, 100, 400},
     {1, {{110, 100, 400}, {140, 2000, 400}}, 130, 100, 436}},
    {{"gain first, equal times, gains reversed", 3, kNo, 110},
     {2, {{100, 100, 600}, {140, 100, 400}}, 130, 100, 400},
     {1, {{110, 100, 400}, {140, 100, 400}}, 130, 100, 436}},
    // A trial point stops at the user's longest time, short of the model's.
    {{"a long trial stops at the user's maximum", 0, kNo, 30, 0, 350000},
     {0, {}, 0, 100000, 100},
     {1, {{30, 100000, 0}}, 0, 350000, 100}},
    // Interpolating 39 s over a brightness span of 220 needs more than 32 bits.
    {{"long times interpolate exactly", 0, kNo, 230, 60000000},
     {2, {{10, 1000000, 0}, {230, 40000000, 0}}, 10, 40000000, 100},
     {2, {{10, 1000000, 0}, {230, 40000000, 0}}, 230, 20500000, 100}},
};

TEST(AutoExposure, SearchTransitions) {
  for (const auto& [row, b, a] : kTransitions) {
    auto c = aeState(row.policy, row.mains);
    if (row.longestUs) c->aeTimeMax = c->timeMax = row.longestUs;
    if (row.aeMaxUs) c->aeTimeMax = row.aeMaxUs;
    c->aeStatus = b.state, c->aeLastBri = b.lastBri;
    c->settings.expoTime = b.timeUs, c->settings.expoGain = b.gain;
    for (int k = 0; k < 4; ++k)
      c->aeRefBri[k] = b.refs[k].bri, c->aeRefExpTime[k] = b.refs[k].timeUs,
      c->aeRefGain[k] = b.refs[k].gain;
    c->aeCallCount = kAeCallCountStepNext;
    auto frame = flat(40, 30, row.bri);
    AutoExposure(c.get(), frame.data(), nullptr);
    EXPECT_EQ(c->aeStatus, a.state) << row.name;
    for (int k = 0; k < 4; ++k) {
      EXPECT_EQ(c->aeRefBri[k], a.refs[k].bri) << row.name << ", reference " << k;
      EXPECT_EQ(c->aeRefExpTime[k], a.refs[k].timeUs) << row.name << ", reference " << k;
      EXPECT_EQ(c->aeRefGain[k], a.refs[k].gain) << row.name << ", reference " << k;
    }
    EXPECT_EQ(c->aeLastBri, a.lastBri) << row.name;
    EXPECT_EQ(c->settings.expoTime, a.timeUs) << row.name;
    EXPECT_EQ(c->settings.expoGain, a.gain) << row.name;
  }
}

// A searching step traces its measure and its four references of each kind; the measures of
// words and of packed YUV trace their means.
TEST(AutoExposure, VerboseTraceOfAStepAndTheMeasures) {
#ifdef _WIN32
  GTEST_SKIP() << "the debugger output is not captured here";
#else
  auto c = aeState(0);
  c->aeStatus = 2, c->aeLastBri = 100, c->aeCallCount = kAeCallCountStepNext;
  c->aeRefBri = {100, 140, 0, 0}, c->aeRefExpTime = {10000, 14000, 0, 0};
  c->aeRefGain = {0, 0, 0, 0};
  c->settings.expoTime = 10000;
  const auto frame = flat(40, 30, 110);
  const uint16_t words[8] = {160, 320, 480, 640, 800, 960, 1120, 1296};
  int32_t luma[256];
  for (int i = 0; i < 256; ++i) luma[i] = i;
  const uint8_t yuv6[8] = {0, 0, 100, 110, 0, 0, 120, 130};
  VerboseTrace trace;
  AutoExposure(c.get(), frame.data(), nullptr);
  GetAverageIntensityUshort(4, 2, {0, 0, 4, 2}, 12, false, words);
  GetAverageIntensityYuv(4, 1, {0, 0, 4, 1}, yuv6, luma, false, 6, 8);
  EXPECT_EQ(trace.lines(),
            "#:GetAverageIntensityByte = 110\n"
            "#:AutoExposure, nBri = 110, aeStatus = 2, aeRefBri[0] = 100, aeRefBri[1] = 140, "
            "aeRefBri[2] = 0, aeRefBri[3] = 0\n"
            "#:AutoExposure, nBri = 110, aeStatus = 2, aeRefExpTime[0] = 10000, aeRefExpTime[1] = "
            "14000, aeRefExpTime[2] = 0, aeRefExpTime[3] = 0\n"
            "#:AutoExposure, nBri = 110, aeStatus = 2, aeRefGain[0] = 0, aeRefGain[1] = 0, "
            "aeRefGain[2] = 0, aeRefGain[3] = 0\n"
            "#:GetAverageIntensityUshort = 45\n"
            "#:GetAverageIntensityYuv = 115\n");
#endif
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
