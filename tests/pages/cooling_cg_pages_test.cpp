// The Cooling and conversion-gain pages over the real filter and its camera double (no
// catalogued model has a cooler, a fan or conversion gain, so only the double drives them).
#include <gtest/gtest.h>

#include "base/lumorix_flags.h"
#include "core/lumorix_options.h"
#include "pages/framework/page_messages.h"
#include "tests/pages/settings_page_host.h"

namespace {

constexpr int kTecOn = 1036, kTecOff = 1038, kTarget = 1044, kFan = 1445;
constexpr int kTemperatureLine = 1453, kPowerLine = 1454;
constexpr int kHcg = 1034, kLcg = 1035, kHdr = 1036;

class CoolingPage : public ::testing::Test {};

void PressReturn(HostedPage& page, int id) {
  SendMessageW(page.item(id), WM_KEYDOWN, VK_RETURN, 0x001C0001);
  PumpFor(0);
}

struct TargetCase {
  std::wstring text;
  std::optional<int64_t> written;  // put_TecTarget's argument, or none
  const wchar_t* message;          // the message shown, or null
};

class CoolingTargets : public ::testing::TestWithParam<TargetCase> {};

// Every text, applied with Return and with the frame's Apply: written, refused with its message,
// or (empty) nothing to do; the camera is untouched by a refusal.
TEST_P(CoolingTargets, ReturnAndApplyTreatTheTextAlike) {
  const TargetCase& c = GetParam();
  for (const bool byApply : {false, true}) {
    FilterWithDouble camera;
    PageFrame frame;
    HostedPage page(PageRowId::Cooling, camera.object(), frame);
    CapturedMessages messages;
    camera.values().clearCalls();
    page.setText(kTarget, c.text);
    SendMessageW(page.item(kTarget), EM_SETSEL, 0, 0);
    if (byApply) {
      page.page()->Apply();
    } else {
      PressReturn(page, kTarget);
    }
    if (c.written) {
      EXPECT_EQ(camera.values().last("put_TecTarget"), std::vector<int64_t>{*c.written});
    } else {
      EXPECT_EQ(camera.values().count("put_TecTarget"), 0u);
      EXPECT_EQ(camera.values().tecTarget, -100);
    }
    if (c.message) {
      ASSERT_EQ(messages.shown().size(), 1u) << byApply;
      EXPECT_EQ(messages.shown()[0].text, c.message);
      EXPECT_EQ(GetFocus(), page.item(kTarget));
      // Moved there as the dialog manager moves it: the refused text is selected for retyping.
      DWORD from = 1, to = 0;
      SendMessageW(page.item(kTarget), EM_GETSEL, reinterpret_cast<WPARAM>(&from),
                   reinterpret_cast<LPARAM>(&to));
      EXPECT_EQ(from, 0u) << byApply;
      EXPECT_EQ(to, page.text(kTarget).size()) << byApply;
    } else {
      EXPECT_TRUE(messages.shown().empty());
    }
  }
}

const wchar_t kRange[] = L"The input value is out of range [-30.0, 30.0].";
const wchar_t kInvalid[] = L"The input value is invalid.";

INSTANTIATE_TEST_SUITE_P(
    Texts, CoolingTargets,
    ::testing::Values(
        TargetCase{L"-12.5", -125, nullptr}, TargetCase{L"30.05", 300, nullptr},
        TargetCase{L"-5", -50, nullptr}, TargetCase{L"30.1", std::nullopt, kRange},
        TargetCase{L"1e20", std::nullopt, kRange}, TargetCase{L"inf", std::nullopt, kRange},
        TargetCase{std::wstring(300, L'9'), std::nullopt, kRange},
        TargetCase{L"nan", std::nullopt, kInvalid}, TargetCase{L"abc", std::nullopt, kInvalid},
        TargetCase{L" ", std::nullopt, kInvalid}, TargetCase{L"12x", std::nullopt, kInvalid},
        TargetCase{L"", std::nullopt, nullptr}));

TEST_F(CoolingPage, WithoutACoolerTheFanStillWorks) {
  FilterWithDouble camera;
  for (const char* name : {"get_Tec", "put_Tec", "get_TecTarget", "put_TecTarget"})
    camera.values().failing[name] = E_NOTIMPL;
  PageFrame frame;
  HostedPage page(PageRowId::Cooling, camera.object(), frame);
  EXPECT_FALSE(page.enabled(kTecOn));
  EXPECT_FALSE(page.enabled(kTecOff));
  EXPECT_EQ(page.text(kTarget), L"");
  EXPECT_TRUE(page.enabled(kFan));
  page.scroll(kFan, 2);
  EXPECT_EQ(camera.values().fanSpeed, 2);
  page.click(kTecOn);
  EXPECT_EQ(camera.values().count("put_Tec"), 0u);
}

TEST_F(CoolingPage, SwitchFanAndStatusLines) {
  FilterWithDouble camera;
  CameraValues& v = camera.values();
  v.options[LUMORIX_OPTION_TEC_INFO] = 200;
  v.options[LUMORIX_OPTION_TEC_READING] = 50;
  v.fanMaxSpeed = 0x1FFFF;
  PageFrame frame;
  HostedPage page(PageRowId::Cooling, camera.object(), frame);
  EXPECT_TRUE(page.checked(kTecOn));
  EXPECT_EQ(page.text(kTarget), L"-10.0");
  EXPECT_EQ(page.text(kTemperatureLine), L"Current Temperature: -5.2");
  EXPECT_EQ(page.text(kPowerLine), L"Cooling Power: 25.0");
  page.click(kTecOff);
  EXPECT_EQ(v.tecOn, 0u);
  EXPECT_FALSE(page.enabled(kTarget));
  page.click(kTecOn);
  EXPECT_EQ(v.tecOn, 1u);
  EXPECT_TRUE(page.enabled(kTarget));
  page.scroll(kFan, 0x10003);
  EXPECT_EQ(v.last("put_FanSpeed"), std::vector<int64_t>{3});

  // The lines follow the camera once a second; without a maximum the power line stays.
  v.options[LUMORIX_OPTION_TEC_INFO] = 0;
  v.temperatureTenths = 31;
  const size_t reads = v.count("get_Temperature");
  PumpFor(2500);
  EXPECT_GE(v.count("get_Temperature") - reads, 2u);
  EXPECT_EQ(page.text(kTemperatureLine), L"Current Temperature: 3.1");
  EXPECT_EQ(page.text(kPowerLine), L"Cooling Power: 25.0");
}

// The frame's refill reads the cooler, the fan and the status lines again.
TEST_F(CoolingPage, RefillFollowsTheCamera) {
  FilterWithDouble camera;
  CameraValues& v = camera.values();
  PageFrame frame;
  HostedPage page(PageRowId::Cooling, camera.object(), frame);
  v.tecOn = 0;
  v.tecTarget = -150;
  v.fanSpeed = 2;
  v.temperatureTenths = 31;
  SendMessageW(page.dialog(), kMsgSettingsChanged, 0, 0);
  EXPECT_TRUE(page.checked(kTecOff));
  EXPECT_FALSE(page.enabled(kTarget));
  EXPECT_EQ(page.text(kTarget), L"-15.0");
  EXPECT_EQ(SendMessageW(page.item(kFan), TBM_GETPOS, 0, 0), 2);
  EXPECT_EQ(page.text(kTemperatureLine), L"Current Temperature: 3.1");
}

class CgPage : public ::testing::Test {};

TEST_F(CgPage, RadiosWriteOption25AndHdrNeedsTheModelFlag) {
  for (const bool hdr : {false, true}) {
    FilterWithDouble camera;
    CameraValues& v = camera.values();
    v.options[LUMORIX_OPTION_CG] = 0;
    v.model.flags = hdr ? LUMORIX_FLAG_CG3 : 0;
    PageFrame frame;
    HostedPage page(PageRowId::Cg, camera.object(), frame);
    EXPECT_TRUE(page.checked(kLcg));
    EXPECT_EQ(page.enabled(kHdr), hdr);
    page.click(kHcg);
    EXPECT_EQ(v.options[LUMORIX_OPTION_CG], 1) << hdr;
    page.click(kLcg);
    EXPECT_EQ(v.options[LUMORIX_OPTION_CG], 0) << hdr;
    page.click(kHdr);
    EXPECT_EQ(v.options[LUMORIX_OPTION_CG], hdr ? 2 : 0) << hdr;
    v.options[LUMORIX_OPTION_CG] = 1;
    SendMessageW(page.dialog(), kMsgSettingsChanged, 0, 0);
    EXPECT_TRUE(page.checked(kHcg));
  }
}

}  // namespace
