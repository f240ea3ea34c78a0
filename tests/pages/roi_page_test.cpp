// The ROI page over the real filter and its camera double: mouse drags and arrow keys give the
// window the camera receives; the camera marks it while the page is active.
#include <gtest/gtest.h>

#include "tests/pages/settings_page_host.h"

namespace {

constexpr int kSurface = 1041;

struct Point {
  int32_t x, y;  // frame pixels; the frame is drawn 1:1 in these tests
};

struct RoiCase {
  const char* name;
  uint32_t hFlip, vFlip;
  std::vector<Point> path;  // button down at the first point, moves, up at the last
  std::optional<RECT> expected;
};

class RoiDrags : public ::testing::TestWithParam<RoiCase> {};

// A 320x240 frame fits the surface and is centred; the window starts at {100,50,300,150}.
TEST_P(RoiDrags, MouseGivesTheWindow) {
  const RoiCase& c = GetParam();
  CameraSetup setup;
  setup.sizes = {{320, 240}};
  FilterWithDouble camera(setup);
  camera.values().hFlip = c.hFlip;
  camera.values().vFlip = c.vFlip;
  PageFrame frame;
  HostedPage page(PageRowId::Roi, camera.object(), frame);
  HWND surface = page.item(kSurface);
  ASSERT_NE(surface, nullptr);
  RECT client;
  GetClientRect(surface, &client);
  const int32_t left = (client.right - 320) / 2, top = (client.bottom - 240) / 2;
  const auto at = [&](Point p) { return MAKELPARAM(left + p.x, top + p.y); };
  camera.values().clearCalls();
  SendMessageW(surface, WM_LBUTTONDOWN, MK_LBUTTON, at(c.path.front()));
  for (size_t i = 1; i + 1 < c.path.size(); ++i)
    SendMessageW(surface, WM_MOUSEMOVE, MK_LBUTTON, at(c.path[i]));
  SendMessageW(surface, WM_LBUTTONUP, 0, at(c.path.back()));
  EXPECT_EQ(GetCapture(), nullptr);
  if (!c.expected) {
    EXPECT_EQ(camera.values().count("put_Rect"), 0u) << camera.values().describe();
    return;
  }
  const RECT& e = *c.expected;
  EXPECT_EQ(camera.values().last("put_Rect"),
            (std::vector<int64_t>{e.left, e.top, e.right, e.bottom}))
      << camera.values().describe();
}

// Points are in the picture with the frame's origin at its top left corner, as drawn (mirrored
// and flipped pictures show the window mirrored and flipped).
INSTANTIATE_TEST_SUITE_P(
    Paths, RoiDrags,
    ::testing::Values(
        RoiCase{"move", 0, 0, {{200, 100}, {205, 102}, {210, 105}}, RECT{110, 55, 310, 155}},
        RoiCase{"move_mirrored", 1, 0, {{160, 100}, {170, 100}}, RECT{90, 50, 290, 150}},
        RoiCase{"right_edge", 0, 0, {{300, 100}, {310, 100}}, RECT{100, 50, 310, 150}},
        // Mirrored, the window is drawn from 320 - 300 = 20 to 220: the edge on the screen's left
        // is the window's right, and dragging it left widens the window's right.
        RoiCase{"left_edge_mirrored", 1, 0, {{20, 100}, {10, 100}}, RECT{100, 50, 310, 150}},
        RoiCase{
            "against_the_right_border", 0, 0, {{200, 100}, {400, 100}}, RECT{119, 50, 319, 150}},
        RoiCase{"new_window", 0, 0, {{10, 10}, {40, 30}}, RECT{10, 10, 40, 30}},
        RoiCase{"new_window_flipped", 0, 1, {{10, 10}, {40, 30}}, RECT{10, 210, 40, 230}},
        RoiCase{"click_without_move", 0, 0, {{10, 10}, {10, 10}}, std::nullopt}),
    [](const auto& row) { return std::string(row.param.name); });

class RoiPage : public ::testing::Test {};

TEST_F(RoiPage, ArrowsNudgeOneFramePixelAndTheMarkFollowsActivation) {
  FilterWithDouble camera;
  PageFrame frame;
  CameraValues& v = camera.values();
  {
    HostedPage page(PageRowId::Roi, camera.object(), frame);
    EXPECT_EQ(v.aeWindowMark, 1);
    HWND surface = page.item(kSurface);
    EXPECT_EQ(SendMessageW(surface, WM_GETDLGCODE, 0, 0) & DLGC_WANTARROWS, DLGC_WANTARROWS);
    struct Key {
      WPARAM key;
      uint32_t mirrored;
      RECT expected;
    };
    const Key keys[] = {
        {VK_RIGHT, 0, {101, 50, 301, 150}}, {VK_DOWN, 0, {101, 51, 301, 151}},
        {VK_LEFT, 0, {100, 51, 300, 151}},  {VK_UP, 0, {100, 50, 300, 150}},
        {VK_RIGHT, 1, {99, 50, 299, 150}},
    };
    for (const Key& k : keys) {
      v.hFlip = k.mirrored;
      SendMessageW(surface, WM_KEYDOWN, k.key, 0);
      EXPECT_EQ(v.rect.left, k.expected.left) << k.key;
      EXPECT_EQ(v.rect.top, k.expected.top) << k.key;
      EXPECT_EQ(v.rect.right, k.expected.right) << k.key;
      EXPECT_EQ(v.rect.bottom, k.expected.bottom) << k.key;
    }
    page.deactivate();
    EXPECT_EQ(v.aeWindowMark, 0);
  }
}

}  // namespace
