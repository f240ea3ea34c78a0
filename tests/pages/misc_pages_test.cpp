// The Misc pages over the real filter and its camera double: each class's controls, what a
// click or a slider writes, and what the other pages of the frame are told.
#include <gtest/gtest.h>

#include <algorithm>

#include "pages/framework/page_messages.h"
#include "tests/pages/settings_page_host.h"

namespace {

constexpr int kSpeed = 1445, kHFlip = 1222, kVFlip = 1223;
constexpr int kColour = 1007, kGrey = 1008;
constexpr int k50Hz = 1046, k60Hz = 1047, kDc = 1045;
constexpr int kBin = 1320, kSkip = 1321;
constexpr int kContrast = 1075, kGamma = 1074, kGammaLabel = 1071, kDefaults = 1023;
constexpr int k8Bits = 1003, kHighBits = 1002;

struct MiscRowCase {
  const char* name;
  PageRowId row;
  bool colourGrey, binSkip, powerFrequency, contrastGamma, bitDepth;
};

const MiscRowCase kMiscRows[] = {
    {"Misc2", PageRowId::Misc2, false, false, false, true, false},
    {"Misc2BitDepth", PageRowId::Misc2BitDepth, false, false, false, true, true},
    {"Misc3", PageRowId::Misc3, true, false, false, false, false},
    {"Misc3BitDepth", PageRowId::Misc3BitDepth, true, false, false, false, true},
    {"Misc4", PageRowId::Misc4, true, false, true, false, false},
    {"Misc4BitDepth", PageRowId::Misc4BitDepth, true, false, true, false, true},
    {"Misc5", PageRowId::Misc5, true, true, true, false, false},
    {"Misc5BitDepth", PageRowId::Misc5BitDepth, true, true, true, false, true},
};

class MiscRows : public ::testing::TestWithParam<MiscRowCase> {};

// Each class shows its features' controls only, and a command for a control its class lacks
// (sent as a stray accelerator would) writes nothing.
TEST_P(MiscRows, ShowsAndActsOnItsFeaturesOnly) {
  const MiscRowCase& c = GetParam();
  CameraSetup setup;
  setup.maxBitDepth = 12;
  FilterWithDouble camera(setup);
  PageFrame frame;
  HostedPage page(c.row, camera.object(), frame);
  ASSERT_NE(page.dialog(), nullptr);
  EXPECT_EQ(page.item(kColour) != nullptr, c.colourGrey);
  EXPECT_EQ(page.item(kSkip) != nullptr, c.binSkip);
  EXPECT_EQ(page.item(kDc) != nullptr, c.powerFrequency);
  EXPECT_EQ(page.item(kContrast) != nullptr, c.contrastGamma);
  EXPECT_EQ(page.item(k8Bits) != nullptr, c.bitDepth);
  EXPECT_NE(page.item(kSpeed), nullptr);
  EXPECT_NE(page.item(kHFlip), nullptr);

  CameraValues& v = camera.values();
  v.clearCalls();
  for (int id : {kGrey, kSkip, kDc, kDefaults}) page.click(id);
  EXPECT_EQ(v.count("put_Chrome"), c.colourGrey ? 1u : 0u);
  EXPECT_EQ(v.count("put_Skip"), c.binSkip ? 1u : 0u);
  EXPECT_EQ(v.count("put_LightFrequency"), c.powerFrequency ? 1u : 0u);
  EXPECT_EQ(v.count("put_Gamma"), c.contrastGamma ? 1u : 0u);
  EXPECT_EQ(v.grey, c.colourGrey ? 1u : 0u);
  EXPECT_EQ(v.skip, c.binSkip ? 1u : 0u);
  if (c.contrastGamma) {
    EXPECT_EQ(v.gamma, 100);
    EXPECT_EQ(page.text(kGammaLabel), L"1.00");
  }
}

INSTANTIATE_TEST_SUITE_P(AllClasses, MiscRows, ::testing::ValuesIn(kMiscRows),
                         [](const auto& row) { return std::string(row.param.name); });

class MiscPage : public ::testing::Test {};

// DC writes 2 and tells the frame to refresh the exposure label; the other radios write their
// values; a refill checks the radio of the camera's value.
TEST_F(MiscPage, PowerFrequencyRadiosWriteTheirValuesAndTellTheFrame) {
  FilterWithDouble camera;
  PageFrame frame;
  HostedPage page(PageRowId::Misc5, camera.object(), frame);
  EXPECT_TRUE(page.checked(k50Hz)) << "the double starts at 1";
  const std::pair<int, uint32_t> radios[] = {{kDc, 2}, {k60Hz, 0}, {k50Hz, 1}};
  for (const auto& [id, value] : radios) {
    frame.heard.clear();
    page.click(id);
    EXPECT_EQ(camera.values().lightFrequency, value) << id;
    EXPECT_EQ(std::count(frame.heard.begin(), frame.heard.end(), kMsgRefreshExposureLabel), 1)
        << id;
  }
  camera.values().lightFrequency = 0;
  SendMessageW(page.dialog(), kMsgSettingsChanged, 0, 0);
  EXPECT_TRUE(page.checked(k60Hz));
  EXPECT_FALSE(page.checked(k50Hz));
}

// The radios follow auto exposure as the Exposure page switches it, without a refill.
TEST_F(MiscPage, PowerFrequencyRadiosFollowAutoExposure) {
  FilterWithDouble camera;
  PageFrame frame;
  HostedPage page(PageRowId::Misc4, camera.object(), frame);
  for (const uint32_t autoOn : {1u, 0u, 1u}) {
    camera.values().autoExposure = autoOn;
    SendMessageW(page.dialog(), kMsgAutoExposureChanged, 0, 0);
    for (int id : {k50Hz, k60Hz, kDc}) EXPECT_EQ(page.enabled(id), autoOn == 0) << id;
  }
  // A camera without the choice leaves the radios alone.
  camera.values().failing["get_LightFrequency"] = E_NOTIMPL;
  camera.values().autoExposure = 0;
  SendMessageW(page.dialog(), kMsgAutoExposureChanged, 0, 0);
  EXPECT_FALSE(page.enabled(kDc));
}

// Beside the Exposure page in one frame: DC makes it read the exposure time again for its
// label, and its auto-exposure box switches the anti-flicker radios without a refill.
TEST_F(MiscPage, FollowsTheExposurePageInTheSameFrame) {
  FilterWithDouble camera;
  CameraValues& v = camera.values();
  PageFrame frame;
  HostedPage exposure(PageRowId::Exposure, camera.object(), frame);
  HostedPage misc(PageRowId::Misc4, camera.object(), frame);
  PumpFor(50);
  v.expoTimeUs = 12345;  // the real exposure time changes with the anti-flicker mode
  const size_t reads = v.count("get_RealExpoTime");
  misc.click(kDc);
  PumpFor(50);
  EXPECT_GT(v.count("get_RealExpoTime"), reads);
  EXPECT_EQ(exposure.text(1054), L"12.345ms");
  for (const bool autoOn : {true, false}) {
    exposure.click(1048);
    PumpFor(50);
    EXPECT_EQ(v.autoExposure, autoOn ? 1u : 0u);
    for (int id : {k50Hz, k60Hz, kDc}) EXPECT_EQ(misc.enabled(id), !autoOn) << id;
  }
}

// Speed takes the low byte of the slider; flips write the box's state; bit depth writes and
// tells the frame.
TEST_F(MiscPage, SpeedFlipsAndBitDepthReachTheCamera) {
  CameraSetup setup;
  setup.maxBitDepth = 12;
  FilterWithDouble camera(setup);
  camera.values().maxSpeed = 0x1FF;
  PageFrame frame;
  HostedPage page(PageRowId::Misc3BitDepth, camera.object(), frame);
  CameraValues& v = camera.values();
  page.scroll(kSpeed, 0x102);
  EXPECT_EQ(v.last("put_Speed"), std::vector<int64_t>{0x02});
  page.click(kHFlip);
  EXPECT_EQ(v.hFlip, 1u);
  page.click(kVFlip);
  EXPECT_EQ(v.vFlip, 1u);
  page.click(kHFlip);
  EXPECT_EQ(v.hFlip, 0u);

  EXPECT_EQ(page.text(k8Bits), L"8 Bits");
  EXPECT_EQ(page.text(kHighBits), L"12 Bits");
  frame.heard.clear();
  page.click(kHighBits);
  page.click(k8Bits);
  EXPECT_EQ(std::count(frame.heard.begin(), frame.heard.end(), kMsgBitDepthChanged), 2);
}

// Contrast and gamma sliders write their positions and label them.
TEST_F(MiscPage, ContrastAndGammaSlidersOfMonochromeCameras) {
  FilterWithDouble camera;
  PageFrame frame;
  HostedPage page(PageRowId::Misc2, camera.object(), frame);
  page.scroll(kGamma, 145);
  EXPECT_EQ(camera.values().gamma, 145);
  EXPECT_EQ(page.text(kGammaLabel), L"1.45");
  page.scroll(kContrast, -40);
  EXPECT_EQ(camera.values().contrast, -40);
  EXPECT_EQ(page.text(1072), L"-40");
}

}  // namespace
