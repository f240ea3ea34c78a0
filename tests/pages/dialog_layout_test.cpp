// Every dialog of the module, re-texted in every language, still fits its texts: each text,
// measured in its control's font, leaves a tenth of the control to spare after the check glyph
// or button edges. Pictures of each dialog in each language go to the build tree for review.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "dshow/base/moduleinstance.h"
#include "pages/localisation/mui_table.h"
#include "pages/mui_resources.h"
#include "pages/rules/range_label.h"
#include "resources/resource_ids.h"
#include "tests/wine/windowpicture.h"

namespace {

const char* const kLanguages[] = {"CA", "DE", "EN", "ES", "FR", "HANS", "HANT", "HU", "ID",
                                  "IT", "JA", "KO", "MS", "PL", "RU",   "TH",   "TR", "UK"};

const int kDialogs[] = {
    IDD_SIZE10,         IDD_SIZE20, IDD_SIZE30,         IDD_SIZE40,     IDD_SIZE22,
    IDD_SIZE33,         IDD_SIZE88, IDD_HISTOGRAM,      IDD_EXPOSURE,   IDD_MISC3,
    IDD_MISC3_BITDEPTH, IDD_MISC2,  IDD_MISC2_BITDEPTH, IDD_COLOR,      IDD_MISC4,
    IDD_MISC4_BITDEPTH, IDD_MISC5,  IDD_MISC5_BITDEPTH, IDD_CG,         IDD_ROI,
    IDD_COOLING,        IDD_PRESET, IDD_EXPOSURE_TIME,  IDD_PRESET_NAME};

constexpr double kSpare = 1.1;

INT_PTR CALLBACK QuietDialogProc(HWND, UINT message, WPARAM, LPARAM) {
  return message == WM_INITDIALOG;
}

std::wstring WindowText(HWND window) {
  wchar_t text[1024] = {};
  const int length = GetWindowTextW(window, text, 1024);
  return std::wstring(text, length > 0 ? static_cast<size_t>(length) : 0);
}

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

// The room a text needs in its control beyond the text itself (check glyph, button edges).
int Decoration(const std::wstring& windowClass, LONG style) {
  if (_wcsicmp(windowClass.c_str(), L"Button") != 0) return 0;
  switch (style & BS_TYPEMASK) {
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON:
      return GetSystemMetrics(SM_CXMENUCHECK) + 4;
    case BS_GROUPBOX:
      return 16;
    default:
      return 8;
  }
}

// Why the child's text does not fit, or empty when it does.
std::string Misfit(HWND child) {
  const std::wstring text = WindowText(child);
  if (text.empty()) return {};
  const std::wstring windowClass = ClassOf(child);
  if (_wcsicmp(windowClass.c_str(), L"Button") != 0 &&
      _wcsicmp(windowClass.c_str(), L"Static") != 0)
    return {};
  const LONG style = static_cast<LONG>(GetWindowLongPtrW(child, GWL_STYLE));
  RECT client;
  GetClientRect(child, &client);
  HDC dc = GetDC(child);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0)));
  TEXTMETRICW metrics;
  GetTextMetricsW(dc, &metrics);
  const int room = client.right - Decoration(windowClass, style);
  RECT need = {0, 0, 0, 0};
  DrawTextW(dc, text.c_str(), -1, &need, DT_CALCRECT | DT_SINGLELINE);
  const bool multiLine =
      client.bottom >= 2 * metrics.tmHeight && _wcsicmp(windowClass.c_str(), L"Static") == 0;
  std::string problem;
  if (multiLine) {
    RECT wrapped = {0, 0, static_cast<LONG>(client.right / kSpare), 0};
    DrawTextW(dc, text.c_str(), -1, &wrapped, DT_CALCRECT | DT_WORDBREAK);
    if (wrapped.bottom > client.bottom) problem = "too many lines";
  } else if (need.right * kSpare > room) {
    problem = "needs " + std::to_string(need.right) + " of " + std::to_string(room) + " px";
  }
  SelectObject(dc, old);
  ReleaseDC(child, dc);
  return problem;
}

std::string Narrow(const std::wstring& text) {
  char out[1024] = {};
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out, sizeof(out) - 1, nullptr, nullptr);
  return out;
}

// Texts the pages build at run time from translated words, in their widest forms: the range labels
// beside the exposure page's fields and in the exposure-time dialog.
struct RunTimeText {
  int dialog;
  int control;
  WString (*make)(WStringView range, WStringView defaultWord);
};
const RunTimeText kRunTimeTexts[] = {
    {IDD_EXPOSURE, 1453,
     [](WStringView r, WStringView d) { return FieldRangeLabel(r, 10, 5000, d, 350, "ms"); }},
    {IDD_EXPOSURE, 1454,
     [](WStringView r, WStringView d) { return FieldRangeLabel(r, 100, 65535, d, 500, ""); }},
    {IDD_EXPOSURE, 1463,
     [](WStringView r, WStringView d) { return FieldRangeLabel(r, 5, 25, d, 5, ""); }},
    {IDD_EXPOSURE_TIME, 1446,
     [](WStringView r, WStringView) { return ExposureDialogRangeText(r, 1, 3600000000u); }},
};

class DialogLayout : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    g_hInst = GetModuleHandleW(nullptr);
    ASSERT_TRUE(table_.loadEnglish(LoadMuiResource(g_hInst, "EN")));
    ASSERT_TRUE(table_.loadTranslation(LoadMuiResource(g_hInst, GetParam())));
    host_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 800, 600, nullptr,
                            nullptr, nullptr, nullptr);
    ASSERT_NE(host_, nullptr);
  }
  void TearDown() override { DestroyWindow(host_); }
  void Retext(HWND dialog) {
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
      const std::wstring text = WindowText(child);
      if (const WString* translated = table_.windowTranslation(text))
        SetWindowTextW(child, reinterpret_cast<const wchar_t*>(translated->c_str()));
    }
  }
  WString Translated(const wchar_t* english) {
    const WString* translated = table_.translate(english);
    return translated ? *translated : WString(english);
  }
  void ShowRunTimeTexts(int id, HWND dialog) {
    for (const RunTimeText& text : kRunTimeTexts)
      if (text.dialog == id)
        SetDlgItemTextW(dialog, text.control,
                        text.make(Translated(L"Range:"), Translated(L"Default")).c_str());
  }
  MuiTable table_;
  HWND host_ = nullptr;
};

TEST_P(DialogLayout, EveryTextFitsItsControl) {
  // The test runs in tests/pages of the build tree; the pictures go to pictures/pages of it.
  const std::wstring folder = L"..\\..\\pictures\\pages\\";
  CreateDirectoryW(L"..\\..\\pictures", nullptr);
  CreateDirectoryW(folder.c_str(), nullptr);
  for (int id : kDialogs) {
    const bool modal = id == IDD_EXPOSURE_TIME || id == IDD_PRESET_NAME;
    HWND dialog = CreateDialogParamW(g_hInst, MAKEINTRESOURCEW(id), modal ? nullptr : host_,
                                     QuietDialogProc, 0);
    ASSERT_NE(dialog, nullptr) << id;
    Retext(dialog);
    ShowRunTimeTexts(id, dialog);
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
      const std::string problem = Misfit(child);
      EXPECT_TRUE(problem.empty())
          << GetParam() << " dialog " << id << " control " << GetDlgCtrlID(child) << " \""
          << Narrow(WindowText(child)) << "\": " << problem;
    }
    ShowWindow(dialog, SW_SHOWNA);
    UpdateWindow(dialog);
    wchar_t name[64];
    std::swprintf(name, 64, L"%d_%hs.bmp", id, GetParam());
    SaveWindowPicture(dialog, folder + name);
    DestroyWindow(dialog);
  }
}

INSTANTIATE_TEST_SUITE_P(AllLanguages, DialogLayout, ::testing::ValuesIn(kLanguages),
                         [](const auto& language) { return std::string(language.param); });

}  // namespace
