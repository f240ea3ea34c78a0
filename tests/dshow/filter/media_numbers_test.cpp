// Format numbers, the sample step, the caps numbers, spacings: built and run in every build.
#include <gtest/gtest.h>

#include <vector>

#include "dshow/pins/media_numbers.h"
#include "dshow/screen_spacing.h"

namespace {

TEST(MediaNumbers, NumbersOfAResolution) {
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
      {3, 2, 30, 24, 333333, 24u * 30 * 8},                 // rows of 9 bytes pad to 12
      {4096, 3288, 30, 40402944, 333333, 0xFFFFFFFFu},      // 9.7 Gbit/s saturates
      {320, -240, 30, 230400, 333333, 230400u * 30 * 8},    // top-down rows
      {0, 480, 30, 0, 333333, 0},
      {320, 0, 30, 0, 333333, 0},
      {-4, 4, 30, 0, 333333, 0},
      {0x7FFFFFFF, 0x7FFFFFFF, 30, 0, 333333, 0},
      {4, -0x7FFFFFFF - 1, 30, 0, 333333, 0},  // the most negative height negates in 64 bits
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << "@" << c.fps);
    const uint32_t size = media::rgb24ImageSize(c.width, c.height);
    EXPECT_EQ(size, c.imageSize);
    EXPECT_EQ(media::averageTimePerFrame(c.fps), c.avgTime);
    EXPECT_EQ(media::bitRate(size, c.fps), c.bitRate);
  }
}

TEST(MediaNumbers, SampleStepIsTheRealGapFrom1MsUpTo15Seconds) {
  struct Case {
    uint32_t clockTick, now;
    int64_t length;
    uint32_t nextClockTick;
  } cases[] = {
      {1000, 1033, 330000, 1033},
      {0, 20000, 150000000, 20000},          // a 20 s gap gives 15 s
      {0xFFFFFF00u, 0x100, 5120000, 0x100},  // the tick wraps: 512 ms
      {0, 15000, 150000000, 15000},
      {5000, 5000, 10000, 5001},             // within one tick: 1 ms, the clock ahead
      {5003, 5000, 10000, 5004},             // ahead already: 1 ms more
      {0xFFFFFFFFu, 0xFFFFFFFFu, 10000, 0},  // ahead across the wrap
      {1, 0xFFFFFFFFu, 10000, 2},            // ahead across the wrap, not 15 s late
      // Paused for more than 24 days: a long gap, not the clock far ahead.
      {0, 0x80000000u, 150000000, 0x80000000u},
      {0x10, 0xC0000000u, 150000000, 0xC0000000u},
      {20000, 0, 150000000, 0},
  };
  for (const Case& c : cases) {
    const media::SampleStep step = media::sampleStep(c.clockTick, c.now);
    EXPECT_EQ(step.length, c.length) << c.clockTick << " -> " << c.now;
    EXPECT_EQ(step.clockTickMs, c.nextClockTick) << c.clockTick << " -> " << c.now;
  }
}

// Frames handed over in bursts, as a loaded machine does: every sample starts after the one before,
// and the stream clock is back on real time once a frame comes after the burst.
TEST(MediaNumbers, SampleTimesIncreaseThroughBurstsAndCatchUp) {
  struct Case {
    const char* name;
    std::vector<uint32_t> ticks;  // of each frame, after a start at tick 0
    int64_t endMs;                // the stream time after the last frame
  } cases[] = {
      {"steady", {33, 66, 100}, 100},
      {"two in one tick", {33, 33, 66}, 66},
      {"four in one tick", {33, 33, 33, 33, 34, 50}, 50},
      {"a burst at the start", {0, 0, 0, 40}, 40},
      {"a burst at the end", {10, 10, 10}, 12},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    uint32_t clockTick = 0;
    int64_t time = 0;
    for (const uint32_t tick : c.ticks) {
      const media::SampleStep step = media::sampleStep(clockTick, tick);
      EXPECT_GT(step.length, 0) << "at tick " << tick;
      time += step.length;
      clockTick = step.clockTickMs;
    }
    EXPECT_EQ(time, c.endMs * 10000);
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
