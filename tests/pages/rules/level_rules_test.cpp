// The histogram page's level rules and graph geometry.
#include <gtest/gtest.h>

#include <vector>

#include "pages/rules/histogram_geometry.h"
#include "pages/rules/level_rules.h"

namespace {

LevelRange Range(std::vector<uint16_t> low, std::vector<uint16_t> high) {
  LevelRange range;
  for (size_t i = 0; i < 4; ++i) {
    range.low[i] = low[i];
    range.high[i] = high[i];
  }
  return range;
}

void ExpectRange(const LevelRange& got, const LevelRange& want, const char* what) {
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(got.low[i], want.low[i]) << what << " low " << i;
    EXPECT_EQ(got.high[i], want.high[i]) << what << " high " << i;
  }
}

// One level set on a channel's side, and the whole range it leaves.
struct LevelCase {
  const char* what;
  uint32_t channel;
  LevelSide side;
  uint32_t value;
  LevelRange before, after;
};

// Each case's range after the rule.
template <class Rule>
void ExpectCases(const std::vector<LevelCase>& cases, Rule rule) {
  for (const LevelCase& c : cases) {
    LevelRange range = c.before;
    rule(range, c.channel, c.side, c.value);
    ExpectRange(range, c.after, c.what);
  }
}

TEST(LevelRules, TypedValuesClampSwapAndSpreadOverRgb) {
  ExpectCases(
      {
          {"300 in Left clamps to 255 and swaps with a lower high", kLevelGrey, LevelSide::Left,
           300, Range({0, 0, 0, 0}, {255, 255, 255, 200}),
           Range({0, 0, 0, 200}, {255, 255, 255, 255})},
          {"Right below the low swaps", kLevelRed, LevelSide::Right, 10,
           Range({0, 0, 50, 0}, {255, 255, 255, 255}), Range({0, 0, 10, 0}, {255, 255, 50, 255})},
          {"a plain value", kLevelBlue, LevelSide::Left, 40,
           Range({0, 0, 0, 0}, {255, 255, 255, 255}), Range({40, 0, 0, 0}, {255, 255, 255, 255})},
          {"RGB Left sets all three between it and the highest high", kLevelRgb, LevelSide::Left,
           30, Range({5, 10, 20, 7}, {200, 240, 220, 99}),
           Range({30, 30, 30, 7}, {240, 240, 240, 99})},
          {"RGB Right above every low", kLevelRgb, LevelSide::Right, 2,
           Range({5, 10, 20, 7}, {200, 240, 220, 99}), Range({2, 2, 2, 7}, {5, 5, 5, 99})},
          {"RGB Left above every high sets all three between the highest high and it", kLevelRgb,
           LevelSide::Left, 250, Range({5, 10, 20, 7}, {200, 240, 220, 99}),
           Range({240, 240, 240, 7}, {250, 250, 250, 99})},
      },
      ApplyTypedLevel);
}

TEST(LevelRules, RgbUnifiesTheColoursAndShowsTheirExtremes) {
  LevelRange range = Range({5, 10, 20, 7}, {200, 240, 220, 99});
  const LevelPair shown = ShownLevels(range, kLevelRgb);
  EXPECT_EQ(shown.low, 5u);
  EXPECT_EQ(shown.high, 240u);
  UnifyRgbLevels(range);
  ExpectRange(range, Range({5, 5, 5, 7}, {240, 240, 240, 99}), "unified");
  EXPECT_EQ(ShownLevels(range, kLevelGrey).low, 7u);
}

TEST(LevelRules, BothMarkersDroppedAtOneValueLeaveOneStepEachWay) {
  struct Case {
    uint32_t v;
    uint16_t low, high;
  };
  const Case cases[] = {{100, 99, 101}, {0, 0, 1}, {255, 254, 255}};
  for (const Case& c : cases) {
    LevelRange range;
    ApplyDraggedLevel(range, kLevelGrey, LevelSide::Left, c.v);
    ApplyDraggedLevel(range, kLevelGrey, LevelSide::Right, c.v);
    EXPECT_EQ(range.low[kLevelGrey], c.low) << c.v;
    EXPECT_EQ(range.high[kLevelGrey], c.high) << c.v;
  }
  LevelRange rgb;
  ApplyDraggedLevel(rgb, kLevelRgb, LevelSide::Right, 128);
  ExpectRange(rgb, Range({0, 0, 0, 0}, {128, 128, 128, 255}), "RGB drag");
  const LevelPair drawn = DrawnLevels(200, 200);
  EXPECT_EQ(drawn.low, 199u);
  EXPECT_EQ(drawn.high, 201u);
  EXPECT_EQ(DrawnLevels(90, 30).low, 30u);
}

// One marker dropped: a single channel keeps its pair ordered and at most 255.
TEST(LevelRules, ADroppedMarkerKeepsThePairOrderedWithinTheScale) {
  ExpectCases(
      {
          {"Left dragged past the right swaps", kLevelGrey, LevelSide::Left, 200,
           Range({0, 0, 0, 50}, {255, 255, 255, 100}), Range({0, 0, 0, 100}, {255, 255, 255, 200})},
          {"Right dragged below the left swaps", kLevelGreen, LevelSide::Right, 20,
           Range({0, 90, 0, 0}, {255, 180, 255, 255}), Range({0, 20, 0, 0}, {255, 90, 255, 255})},
          {"Left dragged onto a right at 255 stays within 255", kLevelGrey, LevelSide::Left, 255,
           Range({0, 0, 0, 10}, {255, 255, 255, 255}), Range({0, 0, 0, 254}, {255, 255, 255, 255})},
          {"Right dragged onto a left at 0 stays within 0", kLevelRed, LevelSide::Right, 0,
           Range({0, 0, 0, 0}, {255, 255, 255, 255}), Range({0, 0, 0, 0}, {255, 255, 1, 255})},
      },
      ApplyDraggedLevel);
}

TEST(LevelRules, OnlyTheModesChannelsAreEditable) {
  for (uint32_t channel = 0; channel <= kLevelRgb; ++channel) {
    EXPECT_EQ(LevelChannelEditable(channel, true), channel == kLevelGrey) << channel;
    EXPECT_EQ(LevelChannelEditable(channel, false), channel != kLevelGrey) << channel;
  }
}

TEST(HistogramGeometry, MarkersCurvesAndDrops) {
  const GraphRect graph = {2, 2, 257, 102};  // 255 wide, 100 high
  EXPECT_EQ(GraphX(graph, 0), 2);
  EXPECT_EQ(GraphX(graph, 255), 257);
  EXPECT_EQ(LeftMarkerX(graph, 0), 3) << "never on the frame";
  EXPECT_EQ(RightMarkerX(graph, 255), 255) << "two pixels inside";
  EXPECT_EQ(CurveY(graph, 10.f, 10.f), 1);
  EXPECT_EQ(CurveY(graph, 0.f, 10.f), 101);
  struct Hit {
    int x, y, want;
  };
  const Hit hits[] = {{52, 50, 1}, {50, 50, 1}, {55, 50, 0}, {200, 50, 2}, {52, 150, 0}};
  for (const Hit& h : hits) EXPECT_EQ(HitMarker(graph, h.x, h.y, 52, 202, 2), h.want) << h.x;
  struct Drop {
    GraphRect graph;
    int x;
    std::optional<uint32_t> level;
  };
  const Drop drops[] = {
      {graph, 2, 0u},
      {graph, 129, 127u},
      {graph, 400, 255u},
      {graph, -50, 0u},
      {{10, 0, 10, 50}, 10, std::nullopt},  // narrower than a pixel: no drag
      {{10, 0, 5, 50}, 7, std::nullopt},
  };
  for (const Drop& d : drops) EXPECT_EQ(DroppedLevel(d.graph, d.x), d.level) << d.x;
}

}  // namespace
