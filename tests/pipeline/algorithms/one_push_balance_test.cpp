// One-push white and black balance: channel sums by mosaic site, gains, RGB form, windows,
// black offsets and what a measure does on a state.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "pipeline/algorithms/black_balance.h"
#include "pipeline/algorithms/colour_temp.h"
#include "pipeline/algorithms/white_balance.h"
#include "tests/pipeline/pipeline_kit.h"

namespace zxtest {
namespace {

enum : uint8_t { R, G, B };
// The channel of each site, for Bayer codes 0..3, at (x & 1, memory row & 1).
constexpr uint8_t kSite[4][2][2] = {
    {{G, B}, {R, G}}, {{R, G}, {G, B}}, {{B, G}, {G, R}}, {{G, R}, {B, G}}};
constexpr double kMean[3] = {100, 50, 25};

template <typename Sample>
std::vector<Sample> perSiteFrame(uint32_t w, uint32_t h, uint32_t bayer, uint32_t scale) {
  std::vector<Sample> f(size_t(w) * h);
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x)
      f[size_t(y) * w + x] = Sample(kMean[kSite[bayer][x & 1][y & 1]] * scale);
  return f;
}

template <typename Sample>
void recoversMeans(uint32_t bayer, bool bgr) {
  constexpr uint32_t w = 6, h = 5;  // an odd height: window rows and memory rows differ in parity
  const uint32_t scale = sizeof(Sample) == 2 ? 16 : 1;
  const auto f = perSiteFrame<Sample>(w, h, bayer, scale);
  const ChannelSums s = MeasureRaw(f.data(), w, h, ImageRect{0, 0, int32_t(w), int32_t(h)}, bayer,
                                   BuildColourSites(bgr), bgr);
  EXPECT_EQ(s.count[0] + s.count[1] + s.count[2], w * h);
  for (size_t k = 0; k < 3; ++k) {
    ASSERT_GT(s.count[k], 0u);
    EXPECT_DOUBLE_EQ(s.sum[k] / s.count[k], kMean[k] * scale) << "channel " << k;
  }
}

TEST(OnePushBalance, MosaicSumsRecoverEveryChannelMean) {
  for (uint32_t bayer = 0; bayer < 4; ++bayer)
    for (const bool bgr : {true, false}) {
      SCOPED_TRACE(testing::Message() << "bayer " << bayer << (bgr ? " bgr" : " rgb"));
      recoversMeans<uint8_t>(bayer, bgr);
      recoversMeans<uint16_t>(bayer, bgr);
    }
}

// Frames are stored bottom-up: a window near the image's top reads the last memory rows, in the
// mosaic, grey and packed measures alike. Memory row r holds 10 x (r + 1) in every sample.
TEST(OnePushBalance, WindowRowsCountFromTheImageTop) {
  constexpr uint32_t w = 4, h = 6, bmpStride = 12;
  std::vector<uint8_t> rows(size_t(w) * h), bmp(size_t(bmpStride) * h);
  for (uint32_t r = 0; r < h; ++r) {
    std::fill_n(rows.begin() + r * w, w, uint8_t(10 * (r + 1)));
    std::fill_n(bmp.begin() + r * bmpStride, bmpStride, uint8_t(10 * (r + 1)));
  }
  const auto mean = [](const ChannelSums& s, size_t channels) {
    double sum = 0, count = 0;
    for (size_t k = 0; k < channels; ++k) sum += s.sum[k], count += s.count[k];
    return sum / count;
  };
  const struct {
    const char* name;
    int32_t top, bottom;
    double want;
  } table[] = {{"image top", 0, 2, 55}, {"image bottom", 4, 6, 15}, {"one row", 1, 2, 50}};
  for (const auto& r : table) {
    SCOPED_TRACE(r.name);
    const ImageRect win{0, r.top, int32_t(w), r.bottom};
    EXPECT_DOUBLE_EQ(mean(MeasureRaw(rows.data(), w, h, win, 1, BuildColourSites(true), true), 3),
                     r.want);
    EXPECT_DOUBLE_EQ(mean(MeasureMono(rows.data(), w, h, win), 1), r.want);
    EXPECT_DOUBLE_EQ(mean(MeasureBmp(bmp.data(), w, h, 3, win, true), 3), r.want);
  }
}

ChannelSums sums(double r, double g, double b, uint32_t n = 10) {
  ChannelSums s;
  s.sum = {r * n, g * n, b * n};
  s.count = {n, n, n};
  return s;
}

TEST(OnePushBalance, GainsFromMeans) {
  using G3 = std::array<uint32_t, 3>;
  const G3 unit{256, 256, 256}, neutral{256, 256, 256};
  ChannelSums noRed = sums(100, 50, 25);
  noRed.count[0] = 0;  // a one-pixel-wide window holds no red site
  const struct {
    const char* name;
    ChannelSums s;
    G3 base, want;
  } table[] = {
      {"worked number", sums(100, 50, 25), unit, {128, 256, 512}},
      {"grey stays", sums(80, 80, 80), unit, {256, 256, 256}},
      {"base gains count", sums(100, 100, 100), {512, 256, 128}, {128, 256, 512}},
      {"no green response", sums(100, 0, 25), unit, neutral},
      {"no blue response", sums(100, 50, 0), unit, neutral},
      {"no red response: beyond 32 bits", sums(0, 50, 25), unit, neutral},
      {"an empty channel", noRed, unit, neutral},
      {"a zero base gain", sums(100, 50, 25), {0, 256, 256}, neutral},
  };
  for (const auto& r : table) EXPECT_EQ(WhiteBalanceGains(r.s, r.base), r.want) << r.name;
}

TEST(OnePushBalance, RgbFormScalesTheLargestTo128) {
  using G3 = std::array<uint32_t, 3>;
  const struct {
    G3 in, want;
  } table[] = {
      {{256, 256, 256}, {128, 128, 128}},
      {{128, 256, 512}, {32, 64, 128}},
      {{1, 256, 1000}, {1, 33, 128}},  // 0.128 rounds to 0: kept at 1, never switched off
      {{256, 300, 1}, {109, 128, 1}},
  };
  for (const auto& r : table) EXPECT_EQ(RgbModeGains(r.in), r.want);
}

TEST(OnePushBalance, WindowFollowsRegionAndBinning) {
  const struct {
    const char* name;
    ImageRect window;
    SensorRect region;
    bool hasRegion;
    uint32_t binning;
    bool ok;
    ImageRect want;
    uint32_t w, h;
  } table[] = {
      {"whole frame", {0, 0, 64, 48}, {}, false, 1, true, {0, 0, 64, 48}, 64, 48},
      {"clipped", {-5, -5, 80, 20}, {}, false, 1, true, {0, 0, 64, 20}, 64, 48},
      {"binning 2 from x 3", {3, 4, 21, 20}, {}, false, 2, true, {0, 2, 10, 10}, 32, 24},
      {"in region coordinates",
       {10, 10, 20, 20},
       {8, 6, 40, 30},
       true,
       1,
       true,
       {2, 4, 12, 14},
       32,
       24},
      {"outside the region", {2, 10, 20, 20}, {8, 6, 40, 30}, true, 1, false, {}, 32, 24},
      {"empty", {10, 10, 10, 20}, {}, false, 1, false, {}, 64, 48},
  };
  for (const auto& r : table) {
    SCOPED_TRACE(r.name);
    ImageRect out{};
    uint32_t w = 0, h = 0;
    const BalanceFrame f{64, 48, r.hasRegion ? &r.region : nullptr, r.binning};
    ASSERT_EQ(BalanceWindow("test", r.window, f, out, w, h), r.ok);
    if (r.ok) {
      EXPECT_EQ(w, r.w);
      EXPECT_EQ(h, r.h);
      EXPECT_EQ(out.left, r.want.left);
      EXPECT_EQ(out.top, r.want.top);
      EXPECT_EQ(out.right, r.want.right);
      EXPECT_EQ(out.bottom, r.want.bottom);
    }
  }
}

class OnePushState : public RegistryTest {};

TEST_F(OnePushState, TemperatureModeStoresAndSaves) {
  PLInitParams p = colourParams(64, 48);
  PLContextPtr c(PL_Init(&p));
  ASSERT_TRUE(c->wbTempTint);
  ApplyWhiteBalanceResult(*c, {256, 256, 256});
  EXPECT_EQ(c->settings.wbTemp, 6503);
  EXPECT_EQ(c->settings.wbTint, 1000);
  EXPECT_EQ(get("WhiteBalanceTemp"), 6503u);
  ApplyWhiteBalanceResult(*c, {256, 10, 256});  // tint 39: clamped, the gains recomputed
  EXPECT_GE(c->settings.wbTemp, 2000);
  EXPECT_LE(c->settings.wbTemp, 15000);
  EXPECT_EQ(c->settings.wbTint, 200);
  EXPECT_EQ(c->wbGain, TempTintToGain(c->settings.wbTemp, c->settings.wbTint));
  int32_t seen[2] = {};
  c->callbacks.onWbTempTint = [](int32_t t, int32_t n, void* s) {
    static_cast<int32_t*>(s)[0] = t, static_cast<int32_t*>(s)[1] = n;
  };
  c->callbacks.onWbTempTintContext = seen;
  NotifyWhiteBalance(*c);
  EXPECT_EQ(seen[0], c->settings.wbTemp);
}

TEST_F(OnePushState, RgbModeSavesGainMinus128) {
  PLInitParams p = colourParams(64, 48);
  p.wbTempTint = 0;
  PLContextPtr c(PL_Init(&p));
  ApplyWhiteBalanceResult(*c, {256, 256, 256});
  EXPECT_EQ(get("WBGainR"), 0u);
  ApplyWhiteBalanceResult(*c, {128, 256, 512});
  EXPECT_EQ(c->wbGain, (std::array<uint32_t, 3>{32, 64, 128}));
  EXPECT_EQ(int32_t(get("WBGainR")), -96);
  EXPECT_EQ(int32_t(get("WBGainG")), -64);
  EXPECT_EQ(get("WBGainB"), 0u);
  int32_t seen[3] = {};
  c->callbacks.onWbRgb = [](const int32_t g[3], void* s) {
    std::memcpy(s, g, 3 * sizeof(int32_t));
  };
  c->callbacks.onWbRgbContext = seen;
  NotifyWhiteBalance(*c);
  EXPECT_EQ(seen[0], -96);
  EXPECT_EQ(seen[2], 0);
}

TEST_F(OnePushState, DegenerateWindowsChangeNothingOrGiveNeutral) {
  PLInitParams p = colourParams(64, 48);
  p.wbTempTint = 0;
  PLContextPtr c(PL_Init(&p));
  const auto f = perSiteFrame<uint8_t>(64, 48, uint32_t(c->bayer), 1);
  c->awbRectPx = {10, 10, 11, 30};  // one pixel wide: no red or no blue site
  WhiteBalanceInit(*c, f.data(), uint32_t(c->bayer));
  EXPECT_EQ(c->wbGain, (std::array<uint32_t, 3>{128, 128, 128}));
  c->wbGain = {1, 2, 3};
  const SensorRect region{20, 20, 40, 40};
  c->roi = &region;  // the window lies outside the region
  WhiteBalanceInit(*c, f.data(), uint32_t(c->bayer));
  EXPECT_EQ(c->wbGain, (std::array<uint32_t, 3>{1, 2, 3}));
  c->roi = nullptr;
}

TEST(OnePushBalance, BlackOffsetsAreTruncatedMeans) {
  ChannelSums s = sums(10.9, 3.2, 70000);
  s.count[1] = 0;
  EXPECT_EQ(BlackOffsetsFromSums(s, {7, 8, 9}), (BlackOffsets{10, 8, 65535}));
  EXPECT_EQ(BlackOffsetsFromSums(ChannelSums{}, {7, 8, 9}), (BlackOffsets{7, 8, 9}));
}

TEST(OnePushBalance, BlackMeasuresByLayout) {
  PLInitParams p = paramsFor({16, 8});
  PLContextPtr c(PL_Init(&p));
  c->abbRectPx = {0, 0, 16, 8};
  const auto f = perSiteFrame<uint8_t>(16, 8, uint32_t(c->bayer), 1);
  EXPECT_EQ(BlackBalanceInit(*c, f.data(), uint32_t(c->bayer)), (BlackOffsets{100, 50, 25}));
  EXPECT_EQ(c->settings.blackOffset[0], 100);

  // Grey: one mean in all three.
  std::vector<uint8_t> grey(16 * 8, 12);
  grey[0] = 12 + 128;  // mean 13
  EXPECT_EQ(BlackBalanceInitMono(*c, grey.data()), (BlackOffsets{13, 13, 13}));

  // The camera measures black itself: its black-window sums stand behind the samples.
  c->hwBlackLevel = 1;
  uint16_t handed[3] = {};
  c->callbacks.hwBlackOffsets = [](const uint16_t o[3], void* s) {
    std::memcpy(s, o, 3 * sizeof(uint16_t));
  };
  c->callbacks.hwContext = handed;
  std::vector<uint8_t> withSums(16 * 8 + 9 * sizeof(int64_t), 0);
  const int64_t area = 16 * 8, values[9] = {0, 0, 0, 0, 0, 0, 4 * area, 5 * area, 6 * area};
  std::memcpy(withSums.data() + 16 * 8, values, sizeof values);
  {
    VerboseTrace trace;
    EXPECT_EQ(BlackBalanceInit(*c, withSums.data(), uint32_t(c->bayer)), (BlackOffsets{4, 5, 6}));
#ifndef _WIN32  // the debugger output is captured on this side only
    EXPECT_EQ(trace.lines(), "#:BlackBalanceInit, 512.000000, 640.000000, 768.000000\n");
#endif
  }
  EXPECT_EQ(handed[2], 6);
  // RGB-input frames without the camera's sums carry nothing to measure.
  c->hwBlackLevel = 0;
  EXPECT_EQ(BlackBalanceInitBmp(*c, nullptr), (BlackOffsets{0, 0, 0}));
}

}  // namespace
}  // namespace zxtest
