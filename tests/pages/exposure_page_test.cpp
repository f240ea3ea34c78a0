// The exposure page on the filter over the camera double: what activation shows, which setter
// each control reaches, the auto-exposure limits and the exposure-time dialog.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "core/lumorix_options.h"
#include "pages/framework/page_messages.h"
#include "pages/rules/exposure_scale.h"
#include "tests/pages/page_host.h"

namespace {

using Args = std::vector<int64_t>;

TEST(ExposurePage, ActivationFillsEveryControlFromTheCamera) {
  PageHost host(PageRowId::Exposure);
  ASSERT_TRUE(host.ready());
  CameraValues& camera = host.camera();
  EXPECT_EQ(host.trackbar(1051), int(ExposureTimeToSliderPos(10000, 100, 5000000)));
  EXPECT_EQ(host.trackbar(1049), 120);
  EXPECT_EQ(host.trackbar(1053), 100);
  struct Text {
    int id;
    const wchar_t* text;
  };
  const Text texts[] = {
      {1052, L"120"},
      {1058, L"1.00"},
      {1054, L"10.000ms"},
      {1453, L"(Range:[10, 5000], Default:350ms)"},
      {1454, L"(Range:[100, 1600], Default:500)"},
      {1463, L"(Range:[5, 25], Default:5)"},
      {1044, L"350"},
      {1449, L"500"},
      {1107, L"5"},
  };
  for (const Text& t : texts) EXPECT_EQ(host.text(t.id), t.text) << t.id;
  EXPECT_EQ(SendMessageW(host.item(1108), CB_GETCURSEL, 0, 0), 1) << "policy fails: 1";
  EXPECT_EQ(SendMessageW(host.item(1108), CB_GETCOUNT, 0, 0), 4);
  EXPECT_NE(camera.expoCallback, nullptr);
  EXPECT_EQ(camera.last("put_AutoExpoEnable"), Args{0}) << "2027 writes the box back";
  EXPECT_TRUE(IsWindowEnabled(host.item(1051)));
  EXPECT_FALSE(IsWindowEnabled(host.item(1049)));
}

TEST(ExposurePage, EachTrackbarReachesItsSetter) {
  struct Case {
    int id;
    int pos;
    const char* call;
    Args args;
  };
  const Case cases[] = {
      {1051, 292, "put_ExpoTime", {995}},
      {1051, 5000, "put_ExpoTime", {5000000}},
      {1053, 250, "put_ExpoAGain", {250}},
      {1049, 100, "put_AutoExpoTarget", {100}},
  };
  for (const Case& c : cases) {
    PageHost host(PageRowId::Exposure);
    ASSERT_TRUE(host.ready());
    const size_t mark = host.camera().mark();
    host.scrollTo(c.id, c.pos);
    EXPECT_EQ(host.camera().last(c.call), c.args) << c.id << "\n" << host.camera().describe(mark);
  }
}

TEST(ExposurePage, AutoExposureDisablesManualControlsAndTellsTheFrame) {
  PageHost host(PageRowId::Exposure);
  ASSERT_TRUE(host.ready());
  FrameListener sibling(host.container());
  host.click(1048);
  EXPECT_EQ(host.camera().last("put_AutoExpoEnable"), Args{1});
  for (int id : {1051, 1053, 1054}) EXPECT_FALSE(IsWindowEnabled(host.item(id))) << id;
  EXPECT_TRUE(IsWindowEnabled(host.item(1049)));
  EXPECT_GE(sibling.count(kMsgAutoExposureChanged), 1u);
}

TEST(ExposurePage, CameraNotificationMovesTheControls) {
  PageHost host(PageRowId::Exposure);
  ASSERT_TRUE(host.ready());
  CameraValues& camera = host.camera();
  camera.aeTarget = 150;
  camera.expoTimeUs = 1000;
  camera.gain = 300;
  camera.fireExposure();
  PageHost::pump();
  EXPECT_EQ(host.trackbar(1049), 150);
  EXPECT_EQ(host.text(1052), L"150");
  EXPECT_EQ(host.trackbar(1051), 292);
  EXPECT_EQ(host.text(1054), L"1.000ms");
  EXPECT_EQ(host.trackbar(1053), 300);
  EXPECT_EQ(host.text(1058), L"3.00");
}

TEST(ExposurePage, AutoExposureDefaultsWriteTheCameraAndMarkThePageDirty) {
  CameraSetup setup;
  PageHost host(PageRowId::Exposure, setup);
  ASSERT_TRUE(host.ready());
  host.camera().gainMax = 400;  // re-read by the button: the default gain is capped by it
  host.site().statuses.clear();
  host.click(1110);
  CameraValues& camera = host.camera();
  EXPECT_EQ(camera.options[LUMORIX_OPTION_AUTOEXP_POLICY], 1);
  EXPECT_EQ(camera.options[LUMORIX_OPTION_AUTOEXP_THRESHOLD], 5);
  EXPECT_EQ(camera.last("put_AutoExpoMaxTimeAGain"), (Args{350000, 400}));
  EXPECT_EQ(host.text(1449), L"400");
  EXPECT_EQ(host.page()->IsPageDirty(), S_OK);
  ASSERT_FALSE(host.site().statuses.empty());
  EXPECT_EQ(host.site().statuses[0], DWORD(PROPPAGESTATUS_DIRTY));
}

// Return in a limit field applies that field only; a bad value is refused with the translated
// message and nothing reaches the camera.
TEST(ExposurePage, ReturnInALimitFieldAppliesThatField) {
  struct Case {
    int id;
    const wchar_t* text;
    const char* call;
    Args args;  // empty: refused
  };
  const Case cases[] = {
      {1044, L"1000", "put_AutoExpoMaxTimeAGain", {1000000, 500}},
      {1449, L"800", "put_AutoExpoMaxTimeAGain", {350000, 800}},
      {1107, L"12", "put_Option", {LUMORIX_OPTION_AUTOEXP_THRESHOLD, 12}},
      {1044, L"5001", "put_AutoExpoMaxTimeAGain", {}},
      {1449, L"99", "put_AutoExpoMaxTimeAGain", {}},
      {1107, L"26", "put_Option", {}},
  };
  for (const Case& c : cases) {
    PageHost host(PageRowId::Exposure);
    ASSERT_TRUE(host.ready());
    host.setText(c.id, c.text);
    const size_t before = host.camera().count(c.call);
    host.pressReturn(c.id);
    if (c.args.empty()) {
      EXPECT_EQ(host.camera().count(c.call), before) << c.id;
      ASSERT_EQ(PageHost::messages().size(), 1u) << c.id;
      EXPECT_EQ(PageHost::messages()[0].text, L"The input value is invalid.");
      EXPECT_EQ(PageHost::messages()[0].caption, L"Error");
      EXPECT_EQ(GetFocus(), host.item(c.id));
    } else {
      EXPECT_EQ(host.camera().last(c.call), c.args) << c.id;
      EXPECT_TRUE(PageHost::messages().empty());
    }
  }
}

// The frame's Apply sends the limits, the threshold and the policy.
TEST(ExposurePage, ApplySendsTheLimitsThresholdAndPolicy) {
  PageHost host(PageRowId::Exposure);
  ASSERT_TRUE(host.ready());
  host.setText(1044, L"2000");
  EXPECT_EQ(host.page()->IsPageDirty(), S_OK);
  EXPECT_EQ(host.page()->Apply(), S_OK);
  CameraValues& camera = host.camera();
  EXPECT_EQ(camera.last("put_AutoExpoMaxTimeAGain"), (Args{2000000, 500}));
  EXPECT_EQ(camera.options[LUMORIX_OPTION_AUTOEXP_THRESHOLD], 5);
  EXPECT_EQ(camera.options[LUMORIX_OPTION_AUTOEXP_POLICY], 1);
}

// The exposure defaults, a policy chosen from the list and the frame's refill: what reaches the
// camera and what the page shows afterwards.
TEST(ExposurePage, DefaultsPolicyAndRefill) {
  struct Shown {
    int id;
    const wchar_t* text;  // null: a trackbar at pos
    int pos;
  };
  struct Case {
    const char* what;
    std::function<void(PageHost&)> act;
    std::vector<std::pair<const char*, Args>> calls;
    std::vector<Shown> shown;
  };
  auto choosePolicy = [](PageHost& host) {
    SendMessageW(host.item(1108), CB_SETCURSEL, 3, 0);
    SendMessageW(host.dialog(), WM_COMMAND, MAKEWPARAM(1108, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(host.item(1108)));
  };
  auto refill = [](PageHost& host) {
    CameraValues& camera = host.camera();
    camera.aeTarget = 150;
    camera.expoTimeUs = 1000;
    camera.gain = 300;
    camera.aeMaxTimeUs = 2000000;
    camera.options[LUMORIX_OPTION_AUTOEXP_POLICY] = 2;
    SendMessageW(host.dialog(), kMsgSettingsChanged, 0, 0);
  };
  const Case cases[] = {
      {"Defaults",
       [](PageHost& host) { host.click(1006); },
       {{"put_AutoExpoTarget", {120}}, {"put_ExpoTime", {20000}}, {"put_ExpoAGain", {200}}},
       {{1052, L"120", 0},
        {1054, L"20.000ms", 0},
        {1058, L"2.00", 0},
        {1049, nullptr, 120},
        {1051, nullptr, int(ExposureTimeToSliderPos(20000, 100, 5000000))},
        {1053, nullptr, 200}}},
      {"policy", choosePolicy, {{"put_Option", {LUMORIX_OPTION_AUTOEXP_POLICY, 3}}}, {}},
      {"refill",
       refill,
       {},
       {{1052, L"150", 0},
        {1054, L"1.000ms", 0},
        {1044, L"2000", 0},
        {1049, nullptr, 150},
        {1051, nullptr, 292},
        {1053, nullptr, 300}}},
  };
  for (const Case& c : cases) {
    PageHost host(PageRowId::Exposure, CameraSetup{}, [](CameraValues& camera) {
      camera.aeTarget = 90;
      camera.expoTimeDefaultUs = 20000;
      camera.gainDefault = 200;
    });
    ASSERT_TRUE(host.ready());
    const size_t mark = host.camera().mark();
    c.act(host);
    for (const auto& [call, args] : c.calls)
      EXPECT_EQ(host.camera().last(call), args) << c.what << "\n" << host.camera().describe(mark);
    for (const Shown& s : c.shown) {
      if (s.text) {
        EXPECT_EQ(host.text(s.id), s.text) << c.what << " " << s.id;
      } else {
        EXPECT_EQ(host.trackbar(s.id), s.pos) << c.what << " " << s.id;
      }
    }
    if (std::string(c.what) == "refill") {
      EXPECT_EQ(SendMessageW(host.item(1108), CB_GETCURSEL, 0, 0), 2);
    }
  }
}

// The exposure button shows as plain text: owner-drawn while the mouse is away, a push button
// while it is over the button, and text again once it leaves or the button is disabled.
TEST(ExposurePage, TheExposureButtonIsAPushButtonOnlyUnderTheMouse) {
  PageHost host(PageRowId::Exposure);
  ASSERT_TRUE(host.ready());
  HWND button = host.item(1054);
  auto type = [&] { return GetWindowLongPtrW(button, GWL_STYLE) & BS_TYPEMASK; };
  struct Step {
    UINT message;
    WPARAM wParam;
    LONG_PTR type;
  };
  const Step steps[] = {
      {0, 0, BS_OWNERDRAW},
      {WM_MOUSEMOVE, 0, BS_PUSHBUTTON},
      {WM_MOUSEMOVE, 0, BS_PUSHBUTTON},
      {WM_MOUSELEAVE, 0, BS_OWNERDRAW},
      {WM_MOUSEMOVE, 0, BS_PUSHBUTTON},
      {WM_ENABLE, FALSE, BS_OWNERDRAW},
  };
  for (const Step& step : steps) {
    if (step.message) SendMessageW(button, step.message, step.wParam, 0);
    EXPECT_EQ(type(), step.type) << step.message;
  }
}

// The exposure-time dialog, driven from a timer inside its modal loop: types a text, presses OK,
// and cancels when the dialog stays open.
std::wstring g_typed;
void CALLBACK TypeIntoExposureDialog(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND dialog = FindWindowW(nullptr, L"Exposure Time");
  if (!dialog) return;
  KillTimer(nullptr, timer);
  SetDlgItemTextW(dialog, 1044, g_typed.c_str());
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  if (IsWindow(dialog)) SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

TEST(ExposurePage, TheExposureTimeDialogSetsValidTimesOnly) {
  struct Case {
    const wchar_t* text;
    uint32_t timeUs;  // 0: refused with message
    const wchar_t* message;
  };
  const Case cases[] = {
      {L"12.5", 12500, nullptr},
      {L"", 0, L"The exposure time must not be empty."},
      {L"12x", 0, L"The exposure time is invalid."},
      {L"12,5", 0, L"The exposure time is invalid."},
      {L"nan", 0, L"The exposure time is invalid."},
      {L"1e20", 0, L"The exposure time is out of range."},
      {L"-5", 0, L"The exposure time is out of range."},
  };
  for (const Case& c : cases) {
    PageHost host(PageRowId::Exposure);
    ASSERT_TRUE(host.ready());
    g_typed = c.text;
    const size_t before = host.camera().count("put_ExpoTime");
    SetTimer(nullptr, 0, 20, TypeIntoExposureDialog);
    host.click(1054);
    if (c.timeUs) {
      EXPECT_EQ(host.camera().last("put_ExpoTime"), Args{c.timeUs}) << c.text;
      EXPECT_EQ(host.text(1054), L"12.500ms");
      EXPECT_TRUE(PageHost::messages().empty());
    } else {
      EXPECT_EQ(host.camera().count("put_ExpoTime"), before) << c.text;
      ASSERT_EQ(PageHost::messages().size(), 1u) << c.text;
      EXPECT_EQ(PageHost::messages()[0].text, c.message);
    }
  }
}

// An up-down step in the exposure-time dialog rewrites the edit only when the up-down cannot read
// it: always while it holds decimals, never when it holds a plain integer in range that the
// up-down reads (an up-down given a buddy integer).
struct StepCase {
  bool buddyInteger;
  const wchar_t* typed;
  const wchar_t* shown;
};
const StepCase kStepCases[] = {
    {false, L"12.5", L"12.500"},
    {false, L"1234", L"1234.000"},
    // 6000 ms is past the camera's range, so the edit's own check leaves the up-down alone; the
    // up-down reads 6000 (µs), within its range, and the text stays as typed (a rewrite would
    // come back from the up-down as "6000").
    {true, L"06000", L"06000"},
};
std::vector<std::wstring> g_shownAfterStep;

// The dialog's up-down replaced by one that reads its buddy edit as an integer.
HWND GiveBuddyInteger(HWND dialog, HWND upDown) {
  DestroyWindow(upDown);
  HWND reading = CreateWindowExW(
      0, UPDOWN_CLASSW, L"", WS_CHILD | UDS_SETBUDDYINT | UDS_NOTHOUSANDS | UDS_ARROWKEYS, 0, 0, 10,
      10, dialog, reinterpret_cast<HMENU>(1447), GetModuleHandleW(nullptr), nullptr);
  SendMessageW(reading, UDM_SETBUDDY, reinterpret_cast<WPARAM>(GetDlgItem(dialog, 1044)), 0);
  SendMessageW(reading, UDM_SETRANGE32, 100, 5000000);
  return reading;
}

void CALLBACK StepInExposureDialog(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND dialog = FindWindowW(nullptr, L"Exposure Time");
  if (!dialog) return;
  KillTimer(nullptr, timer);
  for (const StepCase& c : kStepCases) {
    HWND upDown = GetDlgItem(dialog, 1447);
    if (c.buddyInteger) upDown = GiveBuddyInteger(dialog, upDown);
    if (!upDown) {
      g_shownAfterStep.push_back(L"no up-down");
      continue;
    }
    SetDlgItemTextW(dialog, 1044, c.typed);
    SendMessageW(dialog, WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 0),
                 reinterpret_cast<LPARAM>(upDown));
    wchar_t text[32] = {};
    GetDlgItemTextW(dialog, 1044, text, 32);
    g_shownAfterStep.push_back(text);
  }
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

TEST(ExposurePage, AnUpDownStepRewritesOnlyWhatItCannotRead) {
  PageHost host(PageRowId::Exposure);
  ASSERT_TRUE(host.ready());
  g_shownAfterStep.clear();
  SetTimer(nullptr, 0, 20, StepInExposureDialog);
  host.click(1054);
  ASSERT_EQ(g_shownAfterStep.size(), std::size(kStepCases));
  for (size_t i = 0; i < std::size(kStepCases); ++i)
    EXPECT_EQ(g_shownAfterStep[i], kStepCases[i].shown)
        << kStepCases[i].buddyInteger << " " << kStepCases[i].typed;
  EXPECT_EQ(host.camera().count("put_ExpoTime"), 0u) << "cancelled";
}

}  // namespace
