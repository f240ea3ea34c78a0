// Every dialog of the module, re-texted in every language, still fits its texts: each text,
// measured in its control's font, leaves a tenth of the control to spare after the check glyph
// or button edges, and so do the texts the pages build at run time at their widest. Every
// character has a glyph in the pinned dialog face or a face linked to it (Thai: in a face with
// Latin and Thai). Pictures of each dialog in each language, the modal ones with their titles and
// every label filled as at run time, go to the build tree for review.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <utility>
#include <vector>

#include "dshow/base/moduleinstance.h"
#include "pages/localisation/mui_table.h"
#include "pages/mui_resources.h"
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
// The face every prefix maps the dialogs' "MS Shell Dlg" to (tools/wine-fonts.sh).
constexpr wchar_t kPinnedFace[] = L"Liberation Sans";
// Wine 8 shapes Thai with glyphs of the dialog face alone, never a linked one, and the pinned
// face has no Thai: Thai dialogs are drawn with a dialog face that has Latin and Thai, as a
// Windows dialog face has both.
constexpr wchar_t kThaiFace[] = L"Loma";

// The face the dialogs of `language` are drawn in.
const wchar_t* DialogFace(const char* language) {
  return std::string(language) == "TH" ? kThaiFace : kPinnedFace;
}

// A DIALOGEX template as bytes: the header's style and, after the menu, class and title
// strings, the font's face; the items follow DWORD-aligned.
class DialogTemplate {
 public:
  DialogTemplate(HINSTANCE module, int id) {
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5));  // RT_DIALOG
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const auto* bytes = static_cast<const uint8_t*>(loaded ? LockResource(loaded) : nullptr);
    if (bytes) bytes_.assign(bytes, bytes + SizeofResource(module, found));
  }
  // A popup dialog as a child with its caption, so the caption is drawn by the dialog itself
  // rather than by a window manager the display lacks.
  void MakeChild() {
    if (!isDialogEx()) return;
    DWORD style;
    std::memcpy(&style, &bytes_[kStyleOffset], sizeof(style));
    style = (style & ~DWORD(WS_POPUP)) | WS_CHILD;
    std::memcpy(&bytes_[kStyleOffset], &style, sizeof(style));
  }
  // The font's face replaced; the items keep their alignment.
  void SetFace(const wchar_t* face) {
    if (!isDialogEx()) return;
    size_t at = kStringsOffset;
    for (int skipped = 0; skipped < 3; ++skipped) at = PastField(at, skipped < 2);
    at += 6;  // point size, weight, italic, charset
    const size_t faceEnd = PastField(at, false);
    const size_t itemsAt = Aligned(faceEnd);
    std::vector<uint8_t> patched(bytes_.begin(), bytes_.begin() + long(at));
    const size_t faceBytes = (std::wcslen(face) + 1) * sizeof(wchar_t);
    const auto* faceStart = reinterpret_cast<const uint8_t*>(face);
    patched.insert(patched.end(), faceStart, faceStart + faceBytes);
    patched.resize(Aligned(patched.size()), 0);
    patched.insert(patched.end(), bytes_.begin() + long(std::min(itemsAt, bytes_.size())),
                   bytes_.end());
    bytes_ = std::move(patched);
  }
  const DLGTEMPLATE* get() const {
    return bytes_.empty() ? nullptr : reinterpret_cast<const DLGTEMPLATE*>(bytes_.data());
  }

 private:
  static constexpr size_t kStyleOffset = 12;    // version, signature, help id, extended style
  static constexpr size_t kStringsOffset = 26;  // style, item count, x, y, cx, cy follow
  static size_t Aligned(size_t at) { return (at + 3) & ~size_t(3); }
  bool isDialogEx() const {
    return bytes_.size() > kStringsOffset && bytes_[2] == 0xFF && bytes_[3] == 0xFF;
  }
  WORD WordAt(size_t at) const {
    WORD word = 0;
    if (at + 2 <= bytes_.size()) std::memcpy(&word, &bytes_[at], sizeof(word));
    return word;
  }
  // Past a string field; a menu or class field may instead be 0xFFFF and an ordinal.
  size_t PastField(size_t at, bool mayBeOrdinal) const {
    if (mayBeOrdinal && WordAt(at) == 0xFFFF) return at + 4;
    while (at + 2 <= bytes_.size() && WordAt(at) != 0) at += 2;
    return at + 2;
  }
  std::vector<uint8_t> bytes_;
};

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

bool IsClass(HWND window, const wchar_t* name) {
  return _wcsicmp(ClassOf(window).c_str(), name) == 0;
}

std::string Narrow(const std::wstring& text) {
  char out[1024] = {};
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out, sizeof(out) - 1, nullptr, nullptr);
  return out;
}

// Where a text sits in its control, which decides the room it has.
enum class Slot {
  Label,       // the control's own text (statics and buttons)
  ComboItem,   // an item of a drop-down list, beside the arrow
  NameColumn,  // the preset list's name column: the list's width less the index column's 60
};

// The room a label needs in its control beyond the text itself (check glyph, button edges).
int Decoration(HWND control) {
  if (!IsClass(control, L"Button")) return 0;
  switch (GetWindowLongPtrW(control, GWL_STYLE) & BS_TYPEMASK) {
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

int Room(HWND control, Slot slot) {
  RECT client;
  GetClientRect(control, &client);
  switch (slot) {
    case Slot::ComboItem:
      return client.right - GetSystemMetrics(SM_CXVSCROLL) - 6;
    case Slot::NameColumn:
      return client.right - 60 - 12;  // less the list view's cell margins
    case Slot::Label:
      break;
  }
  return client.right - Decoration(control);
}

// The control's font selected into its DC for as long as the object lives.
class ControlDc {
 public:
  explicit ControlDc(HWND control)
      : control_(control),
        dc_(GetDC(control)),
        old_(SelectObject(dc_, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)))) {}
  ~ControlDc() {
    SelectObject(dc_, old_);
    ReleaseDC(control_, dc_);
  }
  HDC get() const { return dc_; }

 private:
  HWND control_;
  HDC dc_;
  HGDIOBJ old_;
};

// Why `text` does not fit `control`, or empty when it does.
std::string Misfit(HWND control, const std::wstring& text, Slot slot) {
  if (text.empty()) return {};
  RECT client;
  GetClientRect(control, &client);
  ControlDc dc(control);
  TEXTMETRICW metrics;
  GetTextMetricsW(dc.get(), &metrics);
  const bool multiLine =
      slot == Slot::Label && IsClass(control, L"Static") && client.bottom >= 2 * metrics.tmHeight;
  if (multiLine) {
    RECT wrapped = {0, 0, static_cast<LONG>(client.right / kSpare), 0};
    DrawTextW(dc.get(), text.c_str(), -1, &wrapped, DT_CALCRECT | DT_WORDBREAK);
    return wrapped.bottom > client.bottom ? "too many lines" : "";
  }
  RECT need = {0, 0, 0, 0};
  DrawTextW(dc.get(), text.c_str(), -1, &need, DT_CALCRECT | DT_SINGLELINE);
  const int room = Room(control, slot);
  if (need.right * kSpare <= room) return {};
  return "needs " + std::to_string(need.right) + " of " + std::to_string(room) + " px";
}

bool IsMeasured(HWND control) {
  return IsClass(control, L"Button") || IsClass(control, L"Static");
}

// The faces the prefix links to `face` (FontLink\SystemLink entries "file,face[,scaling]").
std::vector<std::wstring> LinkedFaces(const std::wstring& face) {
  wchar_t value[2048] = {};
  DWORD bytes = sizeof(value) - 2 * sizeof(wchar_t);  // room for the closing nulls
  if (RegGetValueW(HKEY_LOCAL_MACHINE,
                   L"Software\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink",
                   face.c_str(), RRF_RT_REG_MULTI_SZ, nullptr, value, &bytes) != ERROR_SUCCESS)
    return {};
  std::vector<std::wstring> faces;
  for (const wchar_t* entry = value; *entry; entry += wcslen(entry) + 1) {
    std::wstring text = entry;
    const size_t comma = text.find(L',');
    if (comma == std::wstring::npos) continue;
    faces.push_back(text.substr(comma + 1, text.find(L',', comma + 1) - comma - 1));
  }
  return faces;
}

// The characters of `chars` (printable ones) that the font selected into `dc` has no glyph for.
std::wstring WithoutGlyph(HDC dc, const std::wstring& chars) {
  std::wstring missing;
  for (wchar_t c : chars) {
    WORD glyph = 0;
    if (c >= 0x20 && GetGlyphIndicesW(dc, &c, 1, &glyph, GGI_MARK_NONEXISTING_GLYPHS) == 1 &&
        glyph == 0xFFFF)
      missing += c;
  }
  return missing;
}

// The family of the font selected into `dc`, past any substitution of its name (which
// GetTextFaceW would report).
std::wstring RealFace(HDC dc) {
  const UINT bytes = GetOutlineTextMetricsW(dc, 0, nullptr);
  if (bytes < sizeof(OUTLINETEXTMETRICW)) return {};
  std::vector<char> buffer(bytes);
  auto* metrics = reinterpret_cast<OUTLINETEXTMETRICW*>(buffer.data());
  if (!GetOutlineTextMetricsW(dc, bytes, metrics)) return {};
  const auto offset = reinterpret_cast<size_t>(metrics->otmpFamilyName);
  if (offset >= bytes) return {};
  return std::wstring(reinterpret_cast<const wchar_t*>(buffer.data() + offset));
}

// What the font selected into `dc` draws for `text`, as the pixels of a small white picture.
std::vector<uint32_t> Drawn(HDC dc, const std::wstring& text) {
  constexpr int kSide = 64;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = kSide;
  info.bmiHeader.biHeight = -kSide;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP section = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC memory = CreateCompatibleDC(dc);
  if (!section || !memory) {
    if (section) DeleteObject(section);
    if (memory) DeleteDC(memory);
    return {};
  }
  HGDIOBJ oldBitmap = SelectObject(memory, section);
  HGDIOBJ oldFont = SelectObject(memory, GetCurrentObject(dc, OBJ_FONT));
  RECT all = {0, 0, kSide, kSide};
  FillRect(memory, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  DrawTextW(memory, text.c_str(), static_cast<int>(text.size()), &all, DT_SINGLELINE | DT_NOPREFIX);
  GdiFlush();
  std::vector<uint32_t> pixels(static_cast<uint32_t*>(bits),
                               static_cast<uint32_t*>(bits) + kSide * kSide);
  SelectObject(memory, oldFont);
  SelectObject(memory, oldBitmap);
  DeleteDC(memory);
  DeleteObject(section);
  return pixels;
}

// The characters of `chars` that are drawn as the box shown for a character no face has: a
// glyph that only a linked face has may still not be drawn from it.
std::wstring DrawnAsBoxes(HDC dc, const std::wstring& chars) {
  const std::vector<uint32_t> box = Drawn(dc, L"\xFFFF");
  std::wstring boxes;
  for (wchar_t c : chars)
    if (Drawn(dc, std::wstring(1, c)) == box) boxes += c;
  return boxes;
}

// The dialog face and, for characters it lacks, each linked face in turn, as wine draws them.
// Returns the characters none of them has or that are drawn as boxes; a linked face the prefix
// lacks counts for nothing.
std::wstring MissingGlyphs(HWND control, const std::wstring& text, std::wstring* face) {
  ControlDc dc(control);
  *face = RealFace(dc.get());
  const std::wstring notInFace = WithoutGlyph(dc.get(), text);
  std::wstring missing = notInFace;
  LOGFONTW base = {};
  GetObjectW(GetCurrentObject(dc.get(), OBJ_FONT), sizeof(base), &base);
  for (const std::wstring& linked : LinkedFaces(*face)) {
    if (missing.empty()) break;
    LOGFONTW font = base;
    wcsncpy(font.lfFaceName, linked.c_str(), LF_FACESIZE - 1);
    HFONT handle = CreateFontIndirectW(&font);
    HGDIOBJ old = SelectObject(dc.get(), handle);
    if (_wcsicmp(RealFace(dc.get()).c_str(), linked.c_str()) == 0)
      missing = WithoutGlyph(dc.get(), missing);
    SelectObject(dc.get(), old);
    DeleteObject(handle);
  }
  for (wchar_t c : DrawnAsBoxes(dc.get(), notInFace))
    if (missing.find(c) == std::wstring::npos) missing += c;
  return missing;
}

std::wstring Translated(const MuiTable& table, const wchar_t* english) {
  const WString* translated = table.windowTranslation(english);
  return translated ? std::wstring(translated->begin(), translated->end()) : english;
}

template <typename... Args>
std::wstring Format(const wchar_t* format, Args... args) {
  wchar_t text[512] = {};
  std::swprintf(text, 512, format, args...);
  return text;
}

// A text a page builds at run time, at its widest, and where it shows.
struct RunTimeText {
  int dialog;
  int control;  // 0: every radio button of the dialog
  Slot slot;
  std::wstring (*compose)(const MuiTable&);
};

std::wstring ExposureRange(const MuiTable& t) {
  return Format(L"(%ls[%u, %u], %ls:%ums)", Translated(t, L"Range:").c_str(), 10u, 5000u,
                Translated(t, L"Default").c_str(), 350u);
}
std::wstring ThresholdRange(const MuiTable& t) {
  return Format(L"(%ls[%u, %u], %ls:%u)", Translated(t, L"Range:").c_str(), 5u, 25u,
                Translated(t, L"Default").c_str(), 5u);
}
std::wstring GainRange(const MuiTable& t) {
  return Format(L"(%ls[%u, %u], %ls:%u)", Translated(t, L"Range:").c_str(), 100u, 65535u,
                Translated(t, L"Default").c_str(), 500u);
}
std::wstring ExposureDialogRange(const MuiTable& t) {
  return Format(L"%ls [%.3f, %.3f] ms", Translated(t, L"Range:").c_str(), 0.016, 2000000.0);
}
std::wstring SixteenBits(const MuiTable& t) {
  return Format(Translated(t, L"%u Bits").c_str(), 16u);
}
std::wstring WidestResolution(const MuiTable&) {
  return Format(L"%d * %d", 4096, 3288);
}
std::wstring ColdestTemperature(const MuiTable& t) {
  return Format(L"%ls: %.1f", Translated(t, L"Current Temperature").c_str(), -30.0);
}
std::wstring FactorySettings(const MuiTable& t) {
  return Translated(t, L"Factory Settings");
}
std::wstring ExposureOnly(const MuiTable& t) {
  return Translated(t, L"Exposure Only");
}
std::wstring ExposurePreferred(const MuiTable& t) {
  return Translated(t, L"Exposure Preferred");
}
std::wstring GainOnly(const MuiTable& t) {
  return Translated(t, L"Gain Only");
}
std::wstring GainPreferred(const MuiTable& t) {
  return Translated(t, L"Gain Preferred");
}

const RunTimeText kRunTimeTexts[] = {
    {IDD_EXPOSURE, 1453, Slot::Label, ExposureRange},
    {IDD_EXPOSURE, 1463, Slot::Label, ThresholdRange},
    {IDD_EXPOSURE, 1454, Slot::Label, GainRange},
    {IDD_EXPOSURE_TIME, 1446, Slot::Label, ExposureDialogRange},
    {IDD_EXPOSURE, 1108, Slot::ComboItem, ExposureOnly},
    {IDD_EXPOSURE, 1108, Slot::ComboItem, ExposurePreferred},
    {IDD_EXPOSURE, 1108, Slot::ComboItem, GainOnly},
    {IDD_EXPOSURE, 1108, Slot::ComboItem, GainPreferred},
    {IDD_MISC2_BITDEPTH, 1002, Slot::Label, SixteenBits},
    {IDD_MISC3_BITDEPTH, 1002, Slot::Label, SixteenBits},
    {IDD_MISC4_BITDEPTH, 1002, Slot::Label, SixteenBits},
    {IDD_MISC5_BITDEPTH, 1002, Slot::Label, SixteenBits},
    {IDD_SIZE10, 0, Slot::Label, WidestResolution},
    {IDD_SIZE20, 0, Slot::Label, WidestResolution},
    {IDD_SIZE30, 0, Slot::Label, WidestResolution},
    {IDD_SIZE40, 0, Slot::Label, WidestResolution},
    {IDD_SIZE22, 0, Slot::Label, WidestResolution},
    {IDD_SIZE33, 0, Slot::Label, WidestResolution},
    {IDD_SIZE88, 0, Slot::Label, WidestResolution},
    {IDD_COOLING, 1453, Slot::Label, ColdestTemperature},
    {IDD_PRESET, 1005, Slot::NameColumn, FactorySettings},
};

// The controls a run-time text shows in.
std::vector<HWND> ControlsOf(HWND dialog, int control) {
  if (control) return {GetDlgItem(dialog, control)};
  std::vector<HWND> radios;
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    const LONG_PTR kind = GetWindowLongPtrW(child, GWL_STYLE) & BS_TYPEMASK;
    if (IsClass(child, L"Button") && (kind == BS_AUTORADIOBUTTON || kind == BS_RADIOBUTTON))
      radios.push_back(child);
  }
  return radios;
}

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
  // The dialog created hidden in the language's face and re-texted (caption included) as a page
  // does at activation; the modal dialogs as children of the host, so their captions show.
  HWND Open(int id) {
    DialogTemplate dialogTemplate(g_hInst, id);
    const bool modal = id == IDD_EXPOSURE_TIME || id == IDD_PRESET_NAME;
    if (modal) dialogTemplate.MakeChild();
    if (std::wcscmp(DialogFace(GetParam()), kPinnedFace) != 0)
      dialogTemplate.SetFace(DialogFace(GetParam()));
    if (!dialogTemplate.get()) return nullptr;
    HWND dialog =
        CreateDialogIndirectParamW(g_hInst, dialogTemplate.get(), host_, QuietDialogProc, 0);
    if (!dialog) return nullptr;
    // The template places the client area; the caption and frame around it come into the host.
    if (modal)
      SetWindowPos(dialog, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    Retext(dialog);
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
      Retext(child);
    return dialog;
  }
  void Retext(HWND window) {
    if (const WString* translated = table_.windowTranslation(WindowText(window)))
      SetWindowTextW(window, reinterpret_cast<const wchar_t*>(translated->c_str()));
  }
  // Every text of the language with the control it shows in: the dialogs' own and the run-time
  // ones. The dialogs stay open until the test ends.
  std::vector<std::pair<HWND, std::wstring>> AllTexts() {
    std::vector<std::pair<HWND, std::wstring>> texts;
    for (int id : kDialogs) {
      HWND dialog = Keep(Open(id));
      for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (IsMeasured(child)) texts.emplace_back(child, WindowText(child));
    }
    for (const RunTimeText& row : kRunTimeTexts) {
      HWND dialog = Keep(Open(row.dialog));
      for (HWND control : ControlsOf(dialog, row.control))
        texts.emplace_back(control, row.compose(table_));
    }
    return texts;
  }
  HWND Keep(HWND dialog) {
    EXPECT_NE(dialog, nullptr);
    open_.push_back(dialog);
    return dialog;
  }
  ~DialogLayout() override {
    for (HWND dialog : open_) DestroyWindow(dialog);
  }
  MuiTable table_;
  HWND host_ = nullptr;
  std::vector<HWND> open_;
};

TEST_P(DialogLayout, EveryTextFitsItsControl) {
  // The test runs in tests/pages of the build tree; the pictures go to pictures/pages of it.
  const std::wstring folder = L"..\\..\\pictures\\pages\\";
  CreateDirectoryW(L"..\\..\\pictures", nullptr);
  CreateDirectoryW(folder.c_str(), nullptr);
  for (int id : kDialogs) {
    HWND dialog = Open(id);
    ASSERT_NE(dialog, nullptr) << id;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
      if (!IsMeasured(child)) continue;
      const std::string problem = Misfit(child, WindowText(child), Slot::Label);
      EXPECT_TRUE(problem.empty())
          << GetParam() << " dialog " << id << " control " << GetDlgCtrlID(child) << " \""
          << Narrow(WindowText(child)) << "\": " << problem;
    }
    // The labels the page fills while it runs, at their widest, as the page shows them.
    for (const RunTimeText& row : kRunTimeTexts)
      if (row.dialog == id && row.slot == Slot::Label)
        for (HWND control : ControlsOf(dialog, row.control))
          SetWindowTextW(control, row.compose(table_).c_str());
    ShowWindow(dialog, SW_SHOWNA);
    RedrawWindow(dialog, nullptr, nullptr,
                 RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    // A modal dialog is the active window while it shows: its title as the active one.
    if ((GetWindowLongPtrW(dialog, GWL_STYLE) & WS_CAPTION) == WS_CAPTION)
      SendMessageW(dialog, WM_NCACTIVATE, TRUE, 0);
    wchar_t name[64];
    std::swprintf(name, 64, L"%d_%hs.png", id, GetParam());
    EXPECT_TRUE(SaveWindowPicture(dialog, folder + name)) << id;
    DestroyWindow(dialog);
  }
}

// Texts the pages build while they run, at their widest, fit the controls that show them.
TEST_P(DialogLayout, RunTimeTextsFitAtTheirWidest) {
  for (const RunTimeText& row : kRunTimeTexts) {
    HWND dialog = Keep(Open(row.dialog));
    const std::vector<HWND> controls = ControlsOf(dialog, row.control);
    ASSERT_FALSE(controls.empty()) << row.dialog;
    const std::wstring text = row.compose(table_);
    for (HWND control : controls) {
      ASSERT_NE(control, nullptr) << row.dialog << " has no control " << row.control;
      const std::string problem = Misfit(control, text, row.slot);
      EXPECT_TRUE(problem.empty())
          << GetParam() << " dialog " << row.dialog << " control " << GetDlgCtrlID(control) << " \""
          << Narrow(text) << "\": " << problem;
    }
  }
}

// The prefix pins the dialog face, and it or a face linked to it draws every character of every
// text, so no language is measured or shown in boxes.
TEST_P(DialogLayout, EveryCharacterHasAGlyphInThePinnedFace) {
  const std::wstring expected = DialogFace(GetParam());
  for (const auto& [control, text] : AllTexts()) {
    if (text.empty()) continue;  // nothing drawn, and a frame control keeps no font
    std::wstring face;
    const std::wstring missing = MissingGlyphs(control, text, &face);
    EXPECT_EQ(face, expected) << "the prefix maps \"MS Shell Dlg\" elsewhere";
    EXPECT_TRUE(missing.empty()) << GetParam() << " control " << GetDlgCtrlID(control) << " \""
                                 << Narrow(text) << "\" lacks \"" << Narrow(missing) << "\"";
    if (face != expected) return;  // once is enough
  }
}

INSTANTIATE_TEST_SUITE_P(AllLanguages, DialogLayout, ::testing::ValuesIn(kLanguages),
                         [](const auto& language) { return std::string(language.param); });

}  // namespace
