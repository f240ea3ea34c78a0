// The exposure page's rules: the cube-root trackbar scale, the typed exposure time, the
// auto-exposure limits and the range texts.
#include <gtest/gtest.h>

#include <string>

#include "pages/rules/ae_limits.h"
#include "pages/rules/exposure_scale.h"
#include "pages/rules/exposure_time_text.h"
#include "pages/rules/range_label.h"

namespace {

struct ScaleCase {
  uint32_t minUs, maxUs;
  uint32_t minPos, maxPos;
};

TEST(ExposureScale, RangeFollowsTheCamerasLimits) {
  const ScaleCase cases[] = {
      {100, 5000000, 136, 5000},
      // min·max² is 1.6e22, beyond 64 bits: computed in double.
      {1000, 4000000000u, 25199, 4000000},
      // A maximum below one millisecond still gives a scale of one step, not a division by 0.
      {10, 500, 1, 1},
      {0, 0, 1, 1},
      // A camera with a single exposure time: the scale never runs backwards.
      {5000000, 5000000, 5000, 5000},
  };
  for (const ScaleCase& c : cases) {
    const ExposureScale scale = ExposureScaleOf(c.minUs, c.maxUs);
    EXPECT_EQ(scale.minPos, c.minPos) << c.minUs << ".." << c.maxUs;
    EXPECT_EQ(scale.maxPos, c.maxPos) << c.minUs << ".." << c.maxUs;
  }
}

TEST(ExposureScale, TimesAndPositionsMapBothWays) {
  struct Case {
    uint32_t timeUs;
    uint32_t pos;
  };
  const Case toPos[] = {{1000, 292}, {100, 136}, {0, 136}, {5000000, 5000}, {9000000, 5000}};
  for (const Case& c : toPos) EXPECT_EQ(ExposureTimeToSliderPos(c.timeUs, 100, 5000000), c.pos);
  const Case toTime[] = {{995, 292}, {100, 136}, {100, 0}, {5000000, 5000}, {5000000, 7000}};
  for (const Case& c : toTime) EXPECT_EQ(SliderPosToExposureTime(c.pos, 100, 5000000), c.timeUs);
  // Below a millisecond's maximum nothing divides by zero and every answer stays in range.
  EXPECT_EQ(ExposureTimeToSliderPos(300, 10, 500), 1u);
  EXPECT_EQ(SliderPosToExposureTime(1, 10, 500), 10u);
}

TEST(ExposureScale, EveryPositionGivesAnIncreasingTimeWithinTheRange) {
  const ScaleCase cameras[] = {{100, 5000000, 0, 0}, {16, 2000000000, 0, 0}, {244, 15000, 0, 0}};
  for (const ScaleCase& c : cameras) {
    const ExposureScale scale = ExposureScaleOf(c.minUs, c.maxUs);
    uint32_t previous = 0;
    for (uint32_t pos = scale.minPos; pos <= scale.maxPos; ++pos) {
      const uint32_t time = SliderPosToExposureTime(pos, c.minUs, c.maxUs);
      ASSERT_GE(time, c.minUs);
      ASSERT_LE(time, c.maxUs);
      ASSERT_GE(time, previous) << pos;
      previous = time;
    }
  }
}

TEST(ExposureTimeText, ValidTimesConvertAndEverythingElseGivesItsMessage) {
  struct Case {
    std::string text;
    ExposureTextError error;
    uint32_t timeUs;
  };
  const Case cases[] = {
      {"12.5", ExposureTextError::None, 12500},
      {"0.1", ExposureTextError::None, 100},
      {"5000", ExposureTextError::None, 5000000},
      {"", ExposureTextError::Empty, 0},
      {"12x", ExposureTextError::Invalid, 0},
      {"12,5", ExposureTextError::Invalid, 0},  // '.' is the decimal point in every language
      {" 12", ExposureTextError::Invalid, 0},
      {"nan", ExposureTextError::Invalid, 0},
      {"1e20", ExposureTextError::OutOfRange, 0},
      {"1e400", ExposureTextError::OutOfRange, 0},
      {"inf", ExposureTextError::OutOfRange, 0},
      {"-5", ExposureTextError::OutOfRange, 0},
      {"0.05", ExposureTextError::OutOfRange, 0},
      {"5000.001", ExposureTextError::OutOfRange, 0},
      {std::string(300, '9'), ExposureTextError::OutOfRange, 0},
  };
  for (const Case& c : cases) {
    const ExposureTextResult result = ParseExposureTimeText(c.text, 100, 5000000);
    EXPECT_EQ(result.error, c.error) << '"' << c.text << '"';
    if (result.error == ExposureTextError::None) {
      EXPECT_EQ(result.timeUs, c.timeUs) << c.text;
    } else {
      EXPECT_NE(ExposureTextMessage(result.error), nullptr);
    }
  }
  EXPECT_STREQ(ExposureTextMessage(ExposureTextError::OutOfRange),
               "The exposure time is out of range.");
}

TEST(AeLimits, FieldsAcceptTheirRangesOnly) {
  struct TimeCase {
    std::optional<uint32_t> ms;
    uint32_t minUs, maxUs;
    bool valid;
  };
  const TimeCase times[] = {
      {10, 100, 5000000, true},
      {5000, 100, 5000000, true},
      {5001, 100, 10000000, false},
      {9, 100, 5000000, false},
      {3000, 100, 2000000, false},  // beyond the camera's own maximum
      {20, 30000, 5000000, false},  // below the camera's minimum
      {std::nullopt, 100, 5000000, false},
  };
  for (const TimeCase& c : times)
    EXPECT_EQ(AeMaxTimeValid(c.ms, c.minUs, c.maxUs), c.valid) << (c.ms ? *c.ms : 0);
  struct GainCase {
    std::optional<uint32_t> gain;
    bool valid;
  };
  const GainCase gains[] = {{99, false}, {100, true}, {1600, true}, {1601, false}, {{}, false}};
  for (const GainCase& c : gains) EXPECT_EQ(AeMaxGainValid(c.gain, 1600), c.valid);
  const GainCase thresholds[] = {{4, false}, {5, true}, {25, true}, {26, false}, {{}, false}};
  for (const GainCase& c : thresholds) EXPECT_EQ(AeThresholdValid(c.gain), c.valid);
  EXPECT_EQ(AeDefaultMaxGain(300), 300);
  EXPECT_EQ(AeDefaultMaxGain(1600), 500);
  const AeTimeSpanMs span = AeMaxTimeSpanMs(100, 2000000000);
  EXPECT_EQ(span.lowest, 10u);
  EXPECT_EQ(span.highest, 5000u);
}

TEST(RangeLabel, TranslatedWordsAreJoinedNeverFormatted) {
  struct Case {
    WString range, def;
    WString field, dialog;
  };
  const Case cases[] = {
      {ZX_W("Range:"), ZX_W("Default"), ZX_W("(Range:[10, 5000], Default:350ms)"),
       ZX_W("Range: [0.100, 5000.000] ms")},
      // A translation holding directives shows them as they are.
      {ZX_W("%s%n%%:"), ZX_W("%d"), ZX_W("(%s%n%%:[10, 5000], %d:350ms)"),
       ZX_W("%s%n%%: [0.100, 5000.000] ms")},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(FieldRangeLabel(c.range, 10, 5000, c.def, 350, "ms") == c.field);
    EXPECT_TRUE(ExposureDialogRangeText(c.range, 100, 5000000) == c.dialog);
  }
  EXPECT_TRUE(FieldRangeLabel(ZX_W("R"), 5, 25, ZX_W("D"), 5, "") == ZX_W("(R[5, 25], D:5)"));
}

}  // namespace
