// The pure parts: format numbers, the sample step, the caps numbers, page choice and spacings.
#include <gtest/gtest.h>

#include "dshow/filter/page_choice.h"
#include "dshow/pins/media_numbers.h"
#include "dshow/screen_spacing.h"

namespace {

TEST(MediaNumbers, FormatOfAResolution) {
  struct Case {
    int32_t width, height;
    uint32_t fps;
    uint32_t imageSize;
    int64_t avgTime;
    uint32_t bitRate;
  } cases[] = {
      {640, 480, 30, 921600, 333333, 921600u * 30 * 8},
      {640, 480, 0, 921600, 333333, 921600u * 30 * 8},      // no rate named: 30
      {1278, 2, 15, 3836 * 2, 666666, 3836u * 2 * 15 * 8},  // 3834 bytes of pixels pad to 3836
      {4096, 3288, 30, 40402944, 333333, 0xFFFFFFFFu},      // 9.7 Gbit/s saturates
      {0, 480, 30, 0, 333333, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << "@" << c.fps);
    const uint32_t size = media::rgb24ImageSize(c.width, c.height);
    EXPECT_EQ(size, c.imageSize);
    EXPECT_EQ(media::averageTimePerFrame(c.fps), c.avgTime);
    EXPECT_EQ(media::bitRate(size, c.fps), c.bitRate);
  }
}

TEST(MediaNumbers, SampleStepIsTheRealGapUpTo15Seconds) {
  struct Case {
    uint32_t last, now;
    int64_t step;
  } cases[] = {
      {1000, 1033, 330000},
      {0, 20000, 150000000},          // a 20 s gap gives 15 s
      {0xFFFFFF00u, 0x100, 5120000},  // the tick wraps: 512 ms
      {5000, 5000, 0},
      {0, 15000, 150000000},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(media::sampleStep(c.last, c.now), c.step) << c.last << " -> " << c.now;
  }
}

TEST(MediaNumbers, CapsGiveTheResolutionsRealIntervalsAndPositiveBitRates) {
  struct Case {
    uint32_t imageSize, fps;
    media::CapsNumbers expected;
  } cases[] = {
      {921600, 30, {333333, 10000000, 7372800, 184320000}},
      {921600, 0, {333333, 10000000, 7372800, 184320000}},
      {921600, 1, {10000000, 10000000, 7372800, 184320000}},
      // 40 MB frames: x200 no longer fits a LONG and must not turn negative.
      {40402944, 30, {333333, 10000000, 323223552, 0x7FFFFFFF}},
      {0xFFFFFFFFu, 30, {333333, 10000000, 0x7FFFFFFF, 0x7FFFFFFF}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.imageSize);
    const media::CapsNumbers caps = media::capsNumbers(c.imageSize, c.fps);
    EXPECT_EQ(caps.minFrameInterval, c.expected.minFrameInterval);
    EXPECT_EQ(caps.maxFrameInterval, c.expected.maxFrameInterval);
    EXPECT_EQ(caps.minBitsPerSecond, c.expected.minBitsPerSecond);
    EXPECT_EQ(caps.maxBitsPerSecond, c.expected.maxBitsPerSecond);
    // A host asking for the advertised average rate finds it within the range.
    const int64_t asked = media::averageTimePerFrame(c.fps);
    EXPECT_GE(asked, caps.minFrameInterval);
    EXPECT_LE(asked, caps.maxFrameInterval);
  }
}

constexpr int32_t kNotImpl = static_cast<int32_t>(0x80004001);
constexpr int32_t kFail = static_cast<int32_t>(0x80004005);

TEST(PageChoice, FilterPagesFollowTheCamerasAnswers) {
  using P = FilterPage;
  struct Case {
    const char* name;
    PageQuery query;
    std::vector<FilterPage> pages;
  } cases[] = {
      {"mono 8-bit, no cooling, no cg",
       {false, 0, 0, 8, kNotImpl, kNotImpl, kNotImpl},
       {P::Exposure, P::Roi, P::Histogram, P::Misc2, P::Preset}},
      {"mono 12-bit",
       {false, 0, 0, 12, kNotImpl, kNotImpl, kNotImpl},
       {P::Exposure, P::Roi, P::Histogram, P::Misc2BitDepth, P::Preset}},
      {"colour, light frequency fails, 12-bit, cooling and cg",
       {true, kFail, 0, 12, 0, kNotImpl, 0},
       {P::Exposure, P::Roi, P::Colour, P::Histogram, P::Cooling, P::Cg, P::Misc3BitDepth,
        P::Preset}},
      {"colour, skip fails",
       {true, 0, kNotImpl, 8, kNotImpl, 0, kNotImpl},
       {P::Exposure, P::Roi, P::Colour, P::Histogram, P::Cooling, P::Misc4, P::Preset}},
      {"colour, both answer, 16-bit",
       {true, 0, 0, 16, kNotImpl, kNotImpl, 1},
       {P::Exposure, P::Roi, P::Colour, P::Histogram, P::Cg, P::Misc5BitDepth, P::Preset}},
      {"colour, 8-bit plain",
       {true, 0, 0, 8, kNotImpl, kNotImpl, kNotImpl},
       {P::Exposure, P::Roi, P::Colour, P::Histogram, P::Misc5, P::Preset}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FilterPage pages[kMaxFilterPages];
    const size_t n = chooseFilterPages(c.query, pages);
    EXPECT_EQ(std::vector<FilterPage>(pages, pages + n), c.pages);
  }
}

TEST(PageChoice, SizePageByResolutionCountAndPin) {
  using S = SizePage;
  struct Case {
    uint32_t count;
    S previewNoStills, previewStills, still;
  } cases[] = {
      {1, S::Size10, S::Size10, S::None},   {2, S::Size20, S::Size22, S::Size22},
      {3, S::Size30, S::Size33, S::Size33}, {4, S::Size40, S::Size40, S::Size40},
      {8, S::Size88, S::Size88, S::Size88}, {6, S::Size88, S::Size88, S::Size88},
      {0, S::None, S::None, S::None},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.count);
    EXPECT_EQ(chooseSizePage(false, c.count, false), c.previewNoStills);
    EXPECT_EQ(chooseSizePage(false, c.count, true), c.previewStills);
    EXPECT_EQ(chooseSizePage(true, c.count, true), c.still);
  }
}

TEST(ScreenSpacing, ScaledFrom96DotsPerInch) {
  struct Case {
    int32_t dpi, small, large;
  } cases[] = {{96, 2, 4}, {144, 3, 6}, {120, 3, 5}, {192, 4, 8}, {0, 2, 4}, {-5, 2, 4}};
  for (const Case& c : cases) {
    const ScreenSpacings s = spacingsForDpi(c.dpi);
    EXPECT_EQ(s.small, c.small) << c.dpi;
    EXPECT_EQ(s.large, c.large) << c.dpi;
  }
}

}  // namespace
