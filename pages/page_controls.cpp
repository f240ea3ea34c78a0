// Small helpers the pages share for their dialog controls.
#include "pages/page_controls.h"

#include <commctrl.h>

#include <cstdio>
#include <cwchar>

void EnsureCommonControls() {
  static const bool registered = [] {
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES | ICC_UPDOWN_CLASS |
                                                           ICC_LISTVIEW_CLASSES |
                                                           ICC_STANDARD_CLASSES};
    return InitCommonControlsEx(&controls) != FALSE;
  }();
  (void)registered;
}

void SetTrackbarRange(HWND dialog, int id, int32_t lowest, int32_t highest) {
  HWND bar = GetDlgItem(dialog, id);
  SendMessageW(bar, TBM_SETRANGEMIN, FALSE, lowest);
  SendMessageW(bar, TBM_SETRANGEMAX, TRUE, highest);
}

void SetTrackbarPos(HWND dialog, int id, int32_t pos) {
  SendDlgItemMessageW(dialog, id, TBM_SETPOS, TRUE, pos);
}

int32_t TrackbarPos(HWND dialog, int id) {
  return static_cast<int32_t>(SendDlgItemMessageW(dialog, id, TBM_GETPOS, 0, 0));
}

void SetUpDownRange(HWND dialog, int id, int32_t lowest, int32_t highest) {
  SendDlgItemMessageW(dialog, id, UDM_SETRANGE32, static_cast<WPARAM>(lowest), highest);
}

void SetUpDownPos(HWND dialog, int id, int32_t pos) {
  SendDlgItemMessageW(dialog, id, UDM_SETPOS32, 0, pos);
}

std::optional<int32_t> UpDownPos(HWND dialog, int id) {
  BOOL error = FALSE;
  const LRESULT pos =
      SendDlgItemMessageW(dialog, id, UDM_GETPOS32, 0, reinterpret_cast<LPARAM>(&error));
  if (error) return std::nullopt;
  return static_cast<int32_t>(pos);
}

std::wstring DialogItemText(HWND dialog, int id) {
  HWND item = GetDlgItem(dialog, id);
  const int length = item ? GetWindowTextLengthW(item) : 0;
  std::wstring text(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
  const int got = item ? GetWindowTextW(item, text.data(), static_cast<int>(text.size())) : 0;
  text.resize(static_cast<size_t>(got > 0 ? got : 0));
  return text;
}

void SetDialogItemText(HWND dialog, int id, const std::wstring& text) {
  SetDlgItemTextW(dialog, id, text.c_str());
}

std::wstring FormatNumber(const wchar_t* format, double value) {
  wchar_t text[64];
  const int n = std::swprintf(text, 64, format, value);
  return std::wstring(text, n > 0 ? static_cast<size_t>(n) : 0);
}

std::optional<uint32_t> DialogItemUnsigned(HWND dialog, int id) {
  BOOL ok = FALSE;
  const UINT value = GetDlgItemInt(dialog, id, &ok, FALSE);
  if (!ok) return std::nullopt;
  return static_cast<uint32_t>(value);
}

void ShowUnsigned(HWND dialog, int id, uint32_t value) {
  wchar_t text[16];
  std::swprintf(text, 16, L"%u", value);
  if (DialogItemText(dialog, id) != text) SetDlgItemInt(dialog, id, value, FALSE);
}

bool IsChecked(HWND dialog, int id) {
  return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

void SetChecked(HWND dialog, int id, bool checked) {
  CheckDlgButton(dialog, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

void EnableItem(HWND dialog, int id, bool enabled) {
  if (HWND item = GetDlgItem(dialog, id)) EnableWindow(item, enabled ? TRUE : FALSE);
}

void FocusItem(HWND dialog, int id) {
  if (HWND item = GetDlgItem(dialog, id))
    SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(item), TRUE);
}
