// The colour page on the filter over the camera double: every trackbar and button reaches its
// setter at once, one push waits for the camera, labels show values as they should.
#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "tests/pages/page_host.h"

namespace {

using Args = std::vector<int64_t>;

TEST(ColourPage, EachTrackbarCallsItsSetterAtOnce) {
  struct Case {
    int id;
    int pos;
    const char* call;
    Args args;
    int label;
    const wchar_t* text;
  };
  const Case cases[] = {
      {1062, 7000, "put_TempTint", {7000, 1000}, 1065, L"7000"},
      {1066, 1500, "put_TempTint", {6503, 1500}, 1068, L"1500"},
      {1156, -45, "put_Hue", {-45}, 1160, L"-45"},
      {1076, 0, "put_Saturation", {0}, 1073, L"0"},
      {1157, 30, "put_Brightness", {30}, 1164, L"30"},
      {1075, -100, "put_Contrast", {-100}, 1072, L"-100"},
      {1074, 20, "put_Gamma", {20}, 1071, L"0.20"},
  };
  for (const Case& c : cases) {
    PageHost host(PageRowId::Colour);
    ASSERT_TRUE(host.ready());
    host.scrollTo(c.id, c.pos);
    EXPECT_EQ(host.camera().last(c.call), c.args) << c.id;
    EXPECT_EQ(host.text(c.label), c.text) << c.id;
  }
}

TEST(ColourPage, DefaultsButtonsWriteTheirValues) {
  struct Case {
    int button;
    std::vector<std::pair<const char*, Args>> calls;
  };
  const Case cases[] = {
      {1060, {{"put_TempTint", {6503, 1000}}}},
      {1010, {{"put_Hue", {0}}, {"put_Saturation", {128}}, {"put_Brightness", {0}}}},
      {1023, {{"put_Contrast", {0}}, {"put_Gamma", {100}}}},
  };
  for (const Case& c : cases) {
    PageHost host(PageRowId::Colour);
    ASSERT_TRUE(host.ready());
    host.scrollTo(1074, 50);
    host.scrollTo(1156, 90);
    host.click(c.button);
    for (const auto& [call, args] : c.calls)
      EXPECT_EQ(host.camera().last(call), args) << c.button << " " << call;
  }
}

TEST(ColourPage, OnePushMovesNothingUntilTheCameraReports) {
  PageHost host(PageRowId::Colour);
  ASSERT_TRUE(host.ready());
  host.click(1055);
  EXPECT_EQ(host.camera().count("AwbOnePush"), 1u);
  EXPECT_EQ(host.trackbar(1062), 6503);
  EXPECT_EQ(host.trackbar(1066), 1000);
  ASSERT_TRUE(host.camera().fireOnePush());
  PageHost::pump();
  EXPECT_EQ(host.trackbar(1062), 5000);
  EXPECT_EQ(host.trackbar(1066), 900);
  EXPECT_EQ(host.text(1065), L"5000");
  EXPECT_EQ(host.text(1068), L"900");
  EXPECT_EQ(host.camera().count("put_TempTint"), 0u) << "the camera applied it itself";
}

// Values read at activation show with their sign and gamma as a factor.
TEST(ColourPage, LabelsShowTheCamerasValues) {
  struct Case {
    int32_t gamma;
    int32_t hue;
    const wchar_t* gammaText;
    const wchar_t* hueText;
  };
  const Case cases[] = {
      {100, -45, L"1.00", L"-45"}, {20, 0, L"0.20", L"0"}, {180, 180, L"1.80", L"180"}};
  for (const Case& c : cases) {
    PageHost host(PageRowId::Colour, CameraSetup{}, [&](CameraValues& camera) {
      camera.gamma = c.gamma;
      camera.hue = c.hue;
    });
    ASSERT_TRUE(host.ready());
    EXPECT_EQ(host.text(1071), c.gammaText);
    EXPECT_EQ(host.text(1160), c.hueText);
    EXPECT_EQ(host.trackbar(1156), c.hue);
  }
}

}  // namespace
