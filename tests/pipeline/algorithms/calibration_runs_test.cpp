// Flat-field and dark-field runs: gains, dark means, hot pixels, runs cut short and RGB-input
// planes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "kernels/calibration.h"
#include "pipeline/algorithms/balance_measure.h"
#include "pipeline/algorithms/dark_field.h"
#include "pipeline/algorithms/flat_field.h"
#include "pipeline/pl_raw_driver.h"
#include "tests/pipeline/pipeline_kit.h"

namespace zxtest {
namespace {

template <typename Sample>
auto rawState(uint32_t w, uint32_t h, uint8_t colour = 1) {
  PLInitParams p = paramsFor({w, h, 1, sizeof(Sample) == 2});
  p.isColour = colour;
  return makeState<Sample>(p);
}

TEST(CalibrationRuns, FlatGainQuotient) {
  const struct {
    uint64_t total;
    uint32_t sum;
    uint64_t count;
    uint32_t want;
  } table[] = {
      {1000, 100, 10, 65536},                            // the pixel at its channel's mean
      {1000, 200, 10, 32768},                            // twice as bright
      {1000, 0, 10, 6553600},                            // summed 0: counts as 1, large and finite
      {uint64_t(65535) * 255 * 12, 0, 12, 0xFFFFFFFFu},  // high-bit dead pixel: saturated
      {7, 3, 1, 152917},                                 // 7 x 65536 / 3, truncated
  };
  for (const auto& r : table) EXPECT_EQ(FlatGain(r.total, r.sum, r.count), r.want);
}

TEST(CalibrationRuns, WantedZeroEndsOnTheFirstFrame) {
  auto c = rawState<uint8_t>(16, 8);
  c->ffcRequest = 1, c->ffcFrames = 0;
  c->dfcRequest = 1, c->dfcFrames = 0;
  std::vector<uint8_t> raw(16 * 8, 40);
  PL_ProcessRaw8(c.get(), raw.data(), nullptr, nullptr, nullptr, 1, false);
  EXPECT_EQ(c->ffcRequest, 0);
  EXPECT_EQ(c->ffcValid, 1);
  EXPECT_EQ(c->dfcRequest, 0);
  EXPECT_EQ(c->dfcValid, 1);
}

// A radial fall-off of `drop` at the corners on per-channel levels, `frames` frames summed.
template <typename Sample>
std::vector<Sample> radialField(uint32_t w, uint32_t h, uint32_t bayer, double drop, double scale,
                                const PLContextT<Sample>& c) {
  std::vector<Sample> f(size_t(w) * h);
  const double cx = (w - 1) / 2.0, cy = (h - 1) / 2.0, rmax = std::hypot(cx, cy);
  const double level[3] = {180, 120, 90};
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x) {
      const size_t ch = SiteChannel(c.colourSites.at(bayer, x, y), c.byteOrder != 0);
      const double r = std::hypot(x - cx, y - cy) / rmax;
      f[size_t(y) * w + x] = Sample(std::lround(level[ch] * scale * (1 - drop * r * r)));
    }
  return f;
}

template <typename Sample>
void flattens(double drop) {
  constexpr uint32_t w = 40, h = 30, frames = 4;
  auto c = rawState<Sample>(w, h);
  const double scale = sizeof(Sample) == 2 ? 16 : 1;
  const auto f = radialField(w, h, uint32_t(c->bayer), drop, scale, *c);
  c->ffcSum.assign(f.size(), 0);
  for (uint32_t k = 0; k < frames; ++k)
    for (size_t i = 0; i < f.size(); ++i) c->ffcSum[i] += f[i];
  c->ffcRequest = 1;
  (c->byteOrder ? FfcBuildGainsBgr<Sample> : FfcBuildGainsRgb<Sample>)(*c, w, h,
                                                                       uint32_t(c->bayer));
  ASSERT_EQ(c->ffcValid, 1);
  EXPECT_EQ(c->ffcRequest, 0);
  auto out = f;
  if constexpr (sizeof(Sample) == 1)
    kernels::ApplyFfc(w, h, out.data(), 8, c->ffcGain.data());
  else
    kernels::ApplyFfc16(w, h, out.data(), c->bitDepth, c->ffcGain.data());
  // Each channel comes out even: within one step of its smallest value.
  for (size_t ch = 0; ch < 3; ++ch) {
    int lo = 1 << 20, hi = 0;
    for (uint32_t y = 0; y < h; ++y)
      for (uint32_t x = 0; x < w; ++x)
        if (SiteChannel(c->colourSites.at(uint32_t(c->bayer), x, y), c->byteOrder != 0) == ch)
          lo = std::min<int>(lo, out[size_t(y) * w + x]),
          hi = std::max<int>(hi, out[size_t(y) * w + x]);
    EXPECT_LE(hi - lo, 1) << "channel " << ch << " drop " << drop;
  }
}

TEST(CalibrationRuns, FlatFieldEvensAnUnevenField) {
  for (const double drop : {0.0, 0.3}) {
    flattens<uint8_t>(drop);
    flattens<uint16_t>(drop);
  }
  auto c = rawState<uint8_t>(8, 4);  // uniform: exactly 1.0 everywhere
  c->ffcSum.assign(32, 77 * 3);
  FfcBuildGainsRgb(*c, 8, 4, uint32_t(c->bayer));
  EXPECT_TRUE(
      std::all_of(c->ffcGain.begin(), c->ffcGain.end(), [](uint32_t g) { return g == kFfcUnity; }));
}

TEST(CalibrationRuns, AZeroChannelGivesNoTableButEndsTheRun) {
  auto c = rawState<uint8_t>(8, 4);
  c->ffcSum.assign(32, 0);
  c->ffcRequest = 1;
  FfcBuildGainsBgr(*c, 8, 4, uint32_t(c->bayer));
  EXPECT_EQ(c->ffcRequest, 0);
  EXPECT_EQ(c->ffcValid, 0);
  FfcFromFramesMono(*c, 8, 4, 0);
  EXPECT_EQ(c->ffcValid, 0);
}

template <typename Sample>
void addDark(PLContextT<Sample>& c, Sample value, uint32_t w, uint32_t h) {
  std::vector<Sample> f(size_t(w) * h, value);
  AccumulateDfc(c, f.data(), w, h, uint32_t(c.bayer));
}

TEST(CalibrationRuns, DarkFrameIsTheTruncatedMean) {
  auto c = rawState<uint8_t>(8, 6);
  c->dfcRequest = 1, c->dfcFrames = 3;
  for (const uint8_t v : {10, 11, 11}) addDark(*c, v, 8, 6);
  EXPECT_EQ(c->dfcRequest, 0);
  EXPECT_EQ(c->dfcValid, 1);
  EXPECT_TRUE(
      std::all_of(c->darkTable.begin(), c->darkTable.end(), [](uint8_t d) { return d == 10; }));
  // The subtraction reads it as a frame: on a frame boundary like every frame buffer.
  EXPECT_EQ(reinterpret_cast<uintptr_t>(c->darkTable.data()) % platform::kFrameAlignment, 0u);
}

// A frame of another size mid-run starts the count over: the mean is of the new size's frames.
// The flat field meets the new size as a region of the frame.
TEST(CalibrationRuns, ASizeChangeMidRunStartsTheCountOver) {
  const struct {
    const char* name;
    bool flat;
    uint32_t w, h;
  } before[] = {{"from a larger frame", false, 8, 6},
                {"from a smaller frame", false, 2, 6},
                {"flat, from a larger frame", true, 8, 6},
                {"flat, from a smaller frame", true, 2, 6}};
  for (const auto& row : before) {
    SCOPED_TRACE(row.name);
    auto c = rawState<uint8_t>(8, 6);
    const auto add = [&](uint8_t v, uint32_t w, uint32_t h) {
      if (!row.flat) return addDark<uint8_t>(*c, v, w, h);
      std::vector<uint8_t> f(size_t(w) * h, v);
      const SensorRect region{0, 0, w, h};
      PL_ProcessRaw8(c.get(), f.data(), nullptr, nullptr, &region, 1, false);
    };
    (row.flat ? c->ffcRequest : c->dfcRequest) = 1;
    (row.flat ? c->ffcFrames : c->dfcFrames) = 3;
    add(200, row.w, row.h);
    add(10, 4, 6);
    add(11, 4, 6);
    EXPECT_EQ(row.flat ? c->ffcRequest : c->dfcRequest, 1) << "two frames of the new size";
    add(11, 4, 6);
    if (row.flat) {
      ASSERT_EQ(c->ffcValid, 1);
      EXPECT_EQ(c->ffcSum, std::vector<uint32_t>(24, 32));
      continue;
    }
    ASSERT_EQ(c->dfcValid, 1);
    ASSERT_GE(c->darkTable.size(), 24u);
    EXPECT_TRUE(std::all_of(c->darkTable.begin(), c->darkTable.begin() + 24,
                            [](uint8_t d) { return d == 10; }));
  }
}

TEST(CalibrationRuns, RunsCutShortNeverDivideByZeroNorWrap) {
  // The count lowered mid-run: the mean is over the frames taken.
  auto c = rawState<uint8_t>(8, 6);
  c->dfcRequest = 1, c->dfcFrames = 5;
  addDark<uint8_t>(*c, 200, 8, 6);
  c->dfcFrames = 1;
  addDark<uint8_t>(*c, 200, 8, 6);
  EXPECT_EQ(c->darkTable[0], 200);
  // A discard's counters (0 wanted, 0 taken) meeting sums already gathered: saturated, not 0/0.
  auto d = rawState<uint16_t>(8, 6);
  d->dfcRequest = 1, d->dfcFrames = 5;
  addDark<uint16_t>(*d, 4000, 8, 6);
  addDark<uint16_t>(*d, 4000, 8, 6);
  d->dfcFrames = d->dfcCount = 0;
  addDark<uint16_t>(*d, 4000, 8, 6);
  EXPECT_EQ(d->darkTable[0], d->tableMax());
}

TEST(CalibrationRuns, HotPixelsOfAGreyDarkFrame) {
  constexpr uint32_t w = 20, h = 16;
  std::vector<uint8_t> dark(w * h, 10);
  dark[5 * w + 5] = 27;   // interior, above 26
  dark[6 * w + 9] = 26;   // interior, not above
  dark[1 * w + 8] = 200;  // border rows and columns are never listed
  dark[8 * w + 18] = 200;
  std::vector<HotPixel> list{{1, 1}};
  ASSERT_TRUE(FindHotPixels(dark.data(), w, h, 8, nullptr, 0, false, list));
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].x, 5);
  EXPECT_EQ(list[0].y, 5);
  std::vector<uint8_t> lit(w * h, 65);
  lit[5 * w + 5] = 255;
  EXPECT_FALSE(FindHotPixels(lit.data(), w, h, 8, nullptr, 0, false, list));
  EXPECT_EQ(list.size(), 1u);  // unchanged
  std::vector<uint16_t> deep(w * h, 10 << 4);
  deep[7 * w + 7] = 27 << 4;
  ASSERT_TRUE(FindHotPixels(deep.data(), w, h, 12, nullptr, 0, false, list));
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].x, 7);
  EXPECT_FALSE(FindHotPixels(dark.data(), 4, 4, 8, nullptr, 0, false, list));  // no interior
  // The interior's mean stays 20 exactly: a pixel at the threshold of 36 is not hot, one above is.
  std::vector<uint8_t> edge(w * h, 20);
  edge[4 * w + 4] = 36, edge[4 * w + 6] = 4;
  edge[9 * w + 10] = 37, edge[9 * w + 12] = 3;
  ASSERT_TRUE(FindHotPixels(edge.data(), w, h, 8, nullptr, 0, false, list));
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].x, 10);
  EXPECT_EQ(list[0].y, 9);
}

TEST(CalibrationRuns, TwoRunsLeaveOneList) {
  constexpr uint32_t w = 16, h = 12;
  auto c = rawState<uint8_t>(w, h, 0);
  std::vector<uint8_t> f(w * h, 10);
  f[6 * w + 6] = 250;
  for (int run = 0; run < 2; ++run) {
    c->dfcRequest = 1, c->dfcFrames = 1, c->dfcCount = 0;
    AccumulateDfc(*c, f.data(), w, h, 0);
  }
  ASSERT_EQ(c->hotPixels.size(), 1u);
  EXPECT_EQ(c->hotPixels[0].x, 6);
}

// RGB-input: three bytes a pixel, rows padded to 4 bytes.
std::vector<uint8_t> bmp(uint32_t w, uint32_t h, const uint8_t bytes[3]) {
  const size_t stride = (3 * w + 3) / 4 * 4;
  std::vector<uint8_t> f(stride * h, 0xEE);
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x) std::copy(bytes, bytes + 3, f.begin() + y * stride + 3 * x);
  return f;
}

TEST(CalibrationRuns, RgbInputPlanesFollowPixelBytes) {
  constexpr uint32_t w = 5, h = 3;  // 15 bytes a row, padded to 16
  const uint8_t bytes[3] = {7, 20, 40};
  const auto f = bmp(w, h, bytes);
  for (const uint8_t order : {0, 1}) {
    SCOPED_TRACE(order ? "bgr" : "rgb");
    PLInitParams p = paramsFor({w, h, order});
    p.pixelFormat = kPixelYuv422;
    PLContextPtr c(PL_Init(&p));
    c->ffcGain.assign(w * h, 1234);
    c->dfcRequest = 1, c->dfcFrames = 2;
    const auto add = order ? AccumulateDfcBmpBgr : AccumulateDfcBmpRgb;
    add(*c, f.data(), w, h);
    add(*c, f.data(), w, h);
    ASSERT_EQ(c->dfcValid, 1);
    for (size_t k = 0; k < 3; ++k) {
      ASSERT_EQ(c->darkPlanes[k].size(), size_t(w) * h);
      EXPECT_EQ(c->darkPlanes[k][4], bytes[2 - k]) << "plane " << k;
    }
    EXPECT_EQ(c->ffcValid, 0);  // the dark run leaves the flat field alone
    EXPECT_EQ(c->ffcGain[0], 1234u);
    // Flat: byte 0 twice as bright in one pixel gives half the gain there, in plane 2.
    auto g = f;
    g[0] = 14;
    c->ffcRequest = 1, c->ffcFrames = 1, c->ffcCount = 0;
    (order ? AccumulateFfcBmpBgr : AccumulateFfcBmpRgb)(*c, g.data(), w, h);
    ASSERT_EQ(c->ffcValid, 1);
    EXPECT_LT(c->ffcGainPlanes[2][0], kFfcUnity * 6 / 10);
    EXPECT_EQ(c->ffcGainPlanes[1][0], kFfcUnity);
    EXPECT_EQ(c->ffcGainPlanes[0][0], kFfcUnity);
  }
}

}  // namespace
}  // namespace zxtest
