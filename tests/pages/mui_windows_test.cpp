// The Windows side of localisation: tables from the module's resources, window texts, and
// message boxes whose translated format is used only when it takes the same arguments.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "dshow/base/moduleinstance.h"
#include "pages/message_box_translated.h"
#include "pages/mui_resources.h"
#include "pages/translate_window.h"

namespace {

// A text as the English code holds it, and as the German process shows it.
struct TextRow {
  const wchar_t* english;
  const wchar_t* shown;
};

struct Shown {
  std::wstring text;
  std::wstring caption;
  UINT type;
};
std::vector<Shown> gShown;

int recordPresenter(HWND, const wchar_t* text, const wchar_t* caption, UINT type) {
  gShown.push_back({text, caption ? caption : L"", type});
  return IDOK;
}

class MuiWindows : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    g_hInst = GetModuleHandleW(nullptr);
    LoadLanguage(0x0407);  // German (Germany) through its primary language
    LoadLanguage(0x0411);  // a later choice changes nothing
  }
};

TEST_F(MuiWindows, ResourcesAreFoundByCode) {
  EXPECT_FALSE(LoadMuiResource(g_hInst, "EN").empty());
  EXPECT_FALSE(LoadMuiResource(g_hInst, "DE").empty());
  EXPECT_TRUE(LoadMuiResource(g_hInst, "JA").empty());
  EXPECT_TRUE(LoadMuiResource(g_hInst, "").empty());
  EXPECT_TRUE(LoadMuiResource(g_hInst, "TOOLONGCODE").empty());
}

TEST_F(MuiWindows, TranslateStringFollowsTheFirstChoice) {
  const TextRow rows[] = {{L"&Color", L"&Farbe"},
                          {L"Cancel", L"Abbrechen"},
                          {L"%u Bits", L"%u Bit"},
                          {L"Exposure Only", L"Nur Belichtung"},
                          {L"Not in any table", L"Not in any table"},
                          {L"", L""}};
  for (const auto& row : rows) EXPECT_STREQ(TranslateString(0x0411, row.english), row.shown);
  EXPECT_EQ(TranslateString(0, nullptr), nullptr);
}

TEST_F(MuiWindows, ChildWindowsAreReTexted) {
  HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 200, 200, nullptr, nullptr,
                                nullptr, nullptr);
  ASSERT_NE(parent, nullptr);
  const TextRow rows[] = {{L"&Color", L"&Farbe"},
                          {L"Cancel", L"Abbrechen"},
                          {L"Load", L"Load"},
                          {L"RGB", L"RGB"},
                          {L"", L""}};
  std::vector<HWND> children;
  for (const auto& row : rows)
    children.push_back(CreateWindowExW(0, L"BUTTON", row.english, WS_CHILD, 0, 0, 50, 20, parent,
                                       nullptr, nullptr, nullptr));
  EnumChildWindows(parent, TranslateWindowCallback, 0);
  for (size_t i = 0; i < children.size(); ++i) {
    wchar_t text[64] = {};
    GetWindowTextW(children[i], text, 64);
    EXPECT_STREQ(text, rows[i].shown);
  }
  DestroyWindow(parent);
}

TEST_F(MuiWindows, MessageBoxUsesATranslatedFormatOnlyWhenItsArgumentsMatch) {
  const MessagePresenter previous = SetMessagePresenter(recordPresenter);
  gShown.clear();
  MessageBoxTranslated(0, nullptr, L"%u Bits", L"Error", MB_ICONEXCLAMATION, 16u);
  MessageBoxTranslated(0, nullptr, L"The input value is out of range [%.1f, %.1f].", L"Error",
                       MB_ICONEXCLAMATION, -30.0, 30.0);
  MessageBoxTranslated(0, nullptr, L"Plain", L"Unknown caption", MB_OK);
  SetMessagePresenter(previous);
  ASSERT_EQ(gShown.size(), 3u);
  EXPECT_EQ(gShown[0].text, L"16 Bit");
  EXPECT_EQ(gShown[0].caption, L"Fehler");
  EXPECT_EQ(gShown[0].type, static_cast<UINT>(MB_ICONEXCLAMATION));
  EXPECT_EQ(gShown[1].text, L"The input value is out of range [-30.0, 30.0].");
  EXPECT_EQ(gShown[2].text, L"Plain");
  EXPECT_EQ(gShown[2].caption, L"Unknown caption");
}

}  // namespace
