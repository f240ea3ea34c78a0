// The region page's geometry: placement, mapping under mirror and flip, drags and nudges.
#include <gtest/gtest.h>

#include <cctype>
#include <concepts>
#include <cstdint>
#include <ostream>
#include <string>
#include <limits>

#include "pages/rules/roi_geometry.h"

// Found by argument lookup, so beside the rectangle types.
template <class Rect>
concept FourSided = std::same_as<Rect, ImageRect> || std::same_as<Rect, ControlRect>;
template <FourSided Rect>
inline bool operator==(const Rect& a, const Rect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
template <FourSided Rect>
inline void PrintTo(const Rect& r, std::ostream* os) {
  *os << "{" << r.left << "," << r.top << "," << r.right << "," << r.bottom << "}";
}

namespace {

template <class Info>
std::string RowName(const Info& row) {
  std::string n = row.param.name;
  for (char& ch : n) ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
  return n;
}

struct ViewCase {
  const char* name;
  int32_t frameWidth, frameHeight, controlWidth, controlHeight;
  double scale;
  ControlRect picture;
};

class RoiViewRows : public ::testing::TestWithParam<ViewCase> {};

TEST_P(RoiViewRows, PictureIsScaledAndCentred) {
  const ViewCase& c = GetParam();
  const RoiView view = MakeRoiView(c.frameWidth, c.frameHeight, c.controlWidth, c.controlHeight);
  EXPECT_DOUBLE_EQ(view.scale, c.scale);
  EXPECT_EQ(view.picture, c.picture);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RoiViewRows,
    ::testing::Values(
        // 1280x1024 into 320x200: height limits, 200/1024; width 250 centred in 320.
        ViewCase{"larger", 1280, 1024, 320, 200, 200.0 / 1024, {35, 0, 285, 200}},
        ViewCase{"smaller drawn 1:1", 100, 50, 320, 200, 1.0, {110, 75, 210, 125}},
        ViewCase{"exact fit", 320, 200, 320, 200, 1.0, {0, 0, 320, 200}},
        ViewCase{"size unknown", 0, 0, 320, 200, 1.0, {160, 100, 160, 100}},
        ViewCase{"negative size", -5, -5, 320, 200, 1.0, {160, 100, 160, 100}},
        ViewCase{"control without area", 640, 480, 0, 0, 1.0, {-320, -240, 320, 240}}),
    [](const auto& row) { return RowName(row); });

// A 1000x500 frame in a 500x250 control: scale 0.5, picture at the origin.
RoiView HalfView() {
  return MakeRoiView(1000, 500, 500, 250);
}

struct MapCase {
  RoiFlips flips;
  ControlRect expected;
};

TEST(RoiGeometry, WindowInControlFollowsMirrorAndFlip) {
  const RoiView view = MakeRoiView(1000, 500, 500, 260);  // half scale, picture at (0, 5)
  const ImageRect window = {100, 50, 300, 150};
  const MapCase cases[] = {
      {{false, false}, {50, 30, 150, 80}},
      {{true, false}, {350, 30, 450, 80}},
      {{false, true}, {50, 180, 150, 230}},
      {{true, true}, {350, 180, 450, 230}},
  };
  for (const MapCase& c : cases)
    EXPECT_EQ(RoiInControl(view, window, c.flips), c.expected)
        << c.flips.mirrored << c.flips.flipped;
}

TEST(RoiGeometry, HitCodesInOrderWithTolerance) {
  const RoiView view = HalfView();
  const ControlRect w = {100, 50, 200, 150};
  struct Case {
    int32_t x, y;
    RoiHit hit;
  };
  const Case cases[] = {
      {150, 48, kRoiHitTop},     {150, 152, kRoiHitBottom}, {98, 100, kRoiHitLeft},
      {202, 100, kRoiHitRight},  {100, 50, kRoiHitTop},     {150, 100, kRoiHitInside},
      {150, 47, kRoiHitPicture}, {97, 100, kRoiHitPicture}, {499, 249, kRoiHitPicture},
      {500, 100, kRoiHitNone},   {-1, -1, kRoiHitNone},
  };
  for (const Case& c : cases)
    EXPECT_EQ(RoiHitTest(view, w, c.x, c.y, 2), c.hit) << c.x << "," << c.y;
}

struct DragCase {
  const char* name;
  RoiHit hit;
  int32_t startX, startY, x, y;
  RoiFlips flips;
  std::optional<ImageRect> expected;
};

class RoiDragRows : public ::testing::TestWithParam<DragCase> {};

// Half scale: one control pixel is two frame pixels. The window starts at {200,100,400,300}.
TEST_P(RoiDragRows, WindowFromTheDrag) {
  const DragCase& c = GetParam();
  const RoiDrag drag = {c.hit, c.startX, c.startY, {200, 100, 400, 300}};
  const auto got = DragRoi(HalfView(), drag, c.x, c.y, c.flips);
  ASSERT_EQ(got.has_value(), c.expected.has_value());
  if (got) {
    EXPECT_EQ(*got, *c.expected);
  }
}

constexpr RoiFlips kPlain = {false, false};
constexpr RoiFlips kMirror = {true, false};
constexpr RoiFlips kFlip = {false, true};
constexpr RoiFlips kBoth = {true, true};

INSTANTIATE_TEST_SUITE_P(
    Rows, RoiDragRows,
    ::testing::Values(
        DragCase{"top edge", kRoiHitTop, 150, 50, 150, 40, kPlain, ImageRect{200, 80, 400, 300}},
        DragCase{"top edge flipped moves bottom", kRoiHitTop, 150, 100, 150, 90, kFlip,
                 ImageRect{200, 100, 400, 320}},
        DragCase{"bottom edge", kRoiHitBottom, 150, 150, 150, 160, kPlain,
                 ImageRect{200, 100, 400, 320}},
        DragCase{"right edge", kRoiHitRight, 200, 100, 210, 100, kPlain,
                 ImageRect{200, 100, 420, 300}},
        // Mirrored, the window's left edge is drawn on the right: dragging the screen's left edge
        // to the left widens the window's right.
        DragCase{"left edge mirrored changes right", kRoiHitLeft, 300, 100, 290, 100, kMirror,
                 ImageRect{200, 100, 420, 300}},
        DragCase{"right edge mirrored changes left", kRoiHitRight, 400, 100, 410, 100, kMirror,
                 ImageRect{180, 100, 400, 300}},
        DragCase{"edge past the other is reordered", kRoiHitLeft, 100, 100, 300, 100, kPlain,
                 ImageRect{400, 100, 600, 300}},
        DragCase{"edge onto the other is empty", kRoiHitLeft, 100, 100, 200, 100, kPlain,
                 std::nullopt},
        DragCase{"move", kRoiHitInside, 150, 100, 160, 90, kPlain, ImageRect{220, 80, 420, 280}},
        DragCase{"move mirrored and flipped", kRoiHitInside, 150, 100, 160, 90, kBoth,
                 ImageRect{180, 120, 380, 320}},
        // Far right: the pointer is clamped to the picture; the window keeps its 200 width and
        // ends at width - 1.
        DragCase{"move against the right border", kRoiHitInside, 150, 100, 900, 100, kPlain,
                 ImageRect{799, 100, 999, 300}},
        DragCase{"move against the top border", kRoiHitInside, 150, 100, 150, -50, kPlain,
                 ImageRect{200, 0, 400, 200}},
        DragCase{"click without a move", kRoiHitPicture, 30, 40, 30, 40, kPlain, std::nullopt},
        DragCase{"new window", kRoiHitPicture, 30, 40, 10, 20, kPlain, ImageRect{20, 40, 60, 80}},
        DragCase{"new window mirrored and flipped", kRoiHitPicture, 30, 40, 10, 20, kBoth,
                 ImageRect{940, 420, 980, 460}},
        DragCase{"new window clamped at the corner", kRoiHitPicture, 400, 200, 9000, 9000, kPlain,
                 ImageRect{800, 400, 999, 499}},
        DragCase{"no grab", kRoiHitNone, 1, 1, 50, 50, kPlain, std::nullopt}),
    [](const auto& row) { return RowName(row); });

TEST(RoiGeometry, ArrowsMoveOneFramePixelInvertedWhenMirrored) {
  const RoiView view = HalfView();
  const ImageRect w = {200, 100, 400, 300};
  struct Case {
    int32_t dx, dy;
    RoiFlips flips;
    ImageRect expected;
  };
  const Case cases[] = {
      {1, 0, kPlain, {201, 100, 401, 300}}, {-1, 0, kPlain, {199, 100, 399, 300}},
      {0, 1, kPlain, {200, 101, 400, 301}}, {1, 0, kMirror, {199, 100, 399, 300}},
      {0, -1, kFlip, {200, 101, 400, 301}}, {0, 1, kMirror, {200, 101, 400, 301}},
  };
  for (const Case& c : cases) EXPECT_EQ(NudgeRoi(view, w, c.dx, c.dy, c.flips), c.expected);
  EXPECT_EQ(NudgeRoi(view, {0, 0, 100, 100}, -1, -1, kPlain), (ImageRect{0, 0, 100, 100}));
  EXPECT_EQ(NudgeRoi(view, {899, 399, 999, 499}, 1, 1, kPlain), (ImageRect{899, 399, 999, 499}));
}

// Windows the camera reports far outside the frame, or a scale that makes huge steps, saturate
// instead of overflowing (the sanitizer builds catch any overflow here).
TEST(RoiGeometry, ExtremeWindowsSaturate) {
  constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
  constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
  const RoiView view = MakeRoiView(100000, 100000, 10, 10);
  const ImageRect huge = {kMin, kMin, kMax, kMax};
  (void)RoiInControl(view, huge, kBoth);
  (void)NudgeRoi(view, huge, 1, -1, kBoth);
  const auto moved = DragRoi(view, {kRoiHitInside, 0, 0, huge}, 9, 9, kPlain);
  ASSERT_TRUE(moved.has_value());
  EXPECT_GE(moved->left, 0);
  EXPECT_LE(moved->right, 99999);
}

}  // namespace
