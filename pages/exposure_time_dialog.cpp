// Dialog 143, "Exposure Time": the exposure time typed in ms, and the exposure button that opens
// it, owner-drawn as plain text until the mouse is over it.
#include "pages/exposure_page.h"

#include <commctrl.h>

#include <string>

#include "pages/message_box_translated.h"
#include "pages/mui_resources.h"
#include "pages/page_controls.h"
#include "pages/rules/exposure_time_text.h"
#include "pages/rules/range_label.h"
#include "pages/translate_window.h"

namespace {

constexpr int kRangeText = 1446;
constexpr int kEdit = 1044;
constexpr int kUpDown = 1447;
constexpr wchar_t kButtonProperty[] = L"{02B45186-1647-4e16-8E77-A9BA99703F1D}";

// The edit's text as ASCII; anything else becomes a character no number contains.
std::string AsciiText(const std::wstring& text) {
  std::string ascii;
  for (wchar_t c : text) ascii.push_back(c > 0 && c < 0x80 ? char(c) : '\x7F');
  return ascii;
}

std::wstring Widen(const char* ascii) {
  return std::wstring(ascii, ascii + std::char_traits<char>::length(ascii));
}

void InitDialog(HWND dialog, CExposurePropertyPage* page) {
  uint32_t timeUs = page->currentTimeUs();
  if (ILumorix* camera = page->camera()) camera->get_RealExpoTime(&timeUs);
  SetUpDownRange(dialog, kUpDown, int32_t(page->timeMinUs()), int32_t(page->timeMaxUs()));
  SetUpDownPos(dialog, kUpDown, int32_t(timeUs));
  SetDialogItemText(dialog, kRangeText,
                    ExposureDialogRangeText(TranslateString(page->language(), L"Range:"),
                                            page->timeMinUs(), page->timeMaxUs()));
  SetDialogItemText(dialog, kEdit, FormatNumber(L"%.3f", timeUs / 1000.0));
  LoadLanguage(page->language());
  if (ProcessMuiLanguage().translationLoaded()) {
    TranslateWindow(dialog);
    EnumChildWindows(dialog, TranslateWindowCallback, 0);
  }
}

}  // namespace

bool ValidateExposureTimeText(LANGID langId, HWND dialog, uint32_t* timeUs, bool showErrors,
                              uint32_t minUs, uint32_t maxUs) {
  const ExposureTextResult result =
      ParseExposureTimeText(AsciiText(DialogItemText(dialog, kEdit)), minUs, maxUs);
  if (result.error == ExposureTextError::None) {
    *timeUs = result.timeUs;
    return true;
  }
  if (showErrors) {
    FocusItem(dialog, kEdit);
    MessageBoxTranslated(langId, dialog, Widen(ExposureTextMessage(result.error)).c_str(), L"Error",
                         MB_OK | MB_ICONINFORMATION);
  }
  return false;
}

INT_PTR CALLBACK ExposureTimeDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* page = reinterpret_cast<CExposurePropertyPage*>(GetWindowLongPtrW(dialog, DWLP_USER));
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    if (auto* owner = reinterpret_cast<CExposurePropertyPage*>(lParam)) InitDialog(dialog, owner);
    return TRUE;
  }
  if (!page) return FALSE;
  if (message == WM_VSCROLL && reinterpret_cast<HWND>(lParam) == GetDlgItem(dialog, kUpDown)) {
    // The edit is rewritten only when the up-down could not read it as a plain integer in range
    // (always so while it holds decimals): a text the up-down reads stays as typed.
    BOOL error = FALSE;
    const LRESULT pos =
        SendDlgItemMessageW(dialog, kUpDown, UDM_GETPOS32, 0, reinterpret_cast<LPARAM>(&error));
    if (error) SetDialogItemText(dialog, kEdit, FormatNumber(L"%.3f", uint32_t(pos) / 1000.0));
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  const int id = LOWORD(wParam);
  if (id == kEdit && HIWORD(wParam) == EN_CHANGE) {
    uint32_t timeUs = 0;
    if (ValidateExposureTimeText(page->language(), dialog, &timeUs, false, page->timeMinUs(),
                                 page->timeMaxUs()))
      SetUpDownPos(dialog, kUpDown, int32_t(timeUs));
    return TRUE;
  }
  if (id == IDOK) {
    uint32_t timeUs = 0;
    if (ValidateExposureTimeText(page->language(), dialog, &timeUs, true, page->timeMinUs(),
                                 page->timeMaxUs())) {
      page->ExposureTimeChosen(timeUs);
      EndDialog(dialog, 1);
    }
    return TRUE;
  }
  if (id == IDCANCEL) {
    EndDialog(dialog, 0);
    return TRUE;
  }
  return FALSE;
}

namespace {

// While set, whatever the button draws on its own (a state or text change) goes to the page as
// an owner-draw request the page leaves alone, so only the text painting below shows.
void SetOwnerDraw(HWND button, bool on) {
  const LONG_PTR style = GetWindowLongPtrW(button, GWL_STYLE) & ~LONG_PTR(BS_OWNERDRAW);
  SetWindowLongPtrW(button, GWL_STYLE, style | (on ? LONG_PTR(BS_OWNERDRAW) : 0));
}

}  // namespace

void SubclassExposureButton(CExposurePropertyPage* page, HWND button) {
  if (!page || !button) return;
  SetPropW(button, kButtonProperty, page);
  page->buttonPrevious = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ExposureButtonProc)));
  SetOwnerDraw(button, true);
}

namespace {

// The button's text right-aligned and centred vertically on the dialog's background.
void PaintAsText(HWND button) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(button, &paint);
  RECT rect;
  GetClientRect(button, &rect);
  FillRect(dc, &rect, GetSysColorBrush(COLOR_BTNFACE));
  const HGDIOBJ old =
      SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(button, WM_GETFONT, 0, 0)));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(IsWindowEnabled(button) ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
  const std::wstring text = DialogItemText(GetParent(button), GetDlgCtrlID(button));
  DrawTextW(dc, text.c_str(), -1, &rect, DT_RIGHT | DT_VCENTER | DT_SINGLELINE);
  SelectObject(dc, old);
  EndPaint(button, &paint);
}

}  // namespace

LRESULT CALLBACK ExposureButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* page = static_cast<CExposurePropertyPage*>(GetPropW(button, kButtonProperty));
  if (!page || !page->buttonPrevious) return DefWindowProcW(button, message, wParam, lParam);
  const WNDPROC previous = page->buttonPrevious;
  switch (message) {
    case WM_MOUSEMOVE:
      if (!page->buttonHot) {
        page->buttonHot = true;
        SetOwnerDraw(button, false);
        TRACKMOUSEEVENT track = {sizeof(track), TME_LEAVE, button, 0};
        TrackMouseEvent(&track);
        InvalidateRect(button, nullptr, TRUE);
      }
      break;
    case WM_MOUSELEAVE:
      page->buttonHot = false;
      SetOwnerDraw(button, true);
      InvalidateRect(button, nullptr, TRUE);
      break;
    case WM_ENABLE:
      // Disabled, it paints as text only, whether or not the mouse is over it.
      if (!wParam && page->buttonHot) {
        page->buttonHot = false;
        SetOwnerDraw(button, true);
        InvalidateRect(button, nullptr, TRUE);
      }
      break;
    case WM_PAINT:
      if (!page->buttonHot || !IsWindowEnabled(button)) {
        PaintAsText(button);
        return 0;
      }
      break;
    case WM_NCDESTROY:
      RemovePropW(button, kButtonProperty);
      SetWindowLongPtrW(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
      page->buttonHot = false;
      break;
    default:
      break;
  }
  return CallWindowProcW(previous, button, message, wParam, lParam);
}
