// Return in a subclassed edit sends a message to its page instead of pressing the default button.
#include "pages/framework/enter_key_subclass.h"

namespace {

constexpr wchar_t kRecordProperty[] = L"{0DC45DC8-27AD-4415-BB1B-8749A159A200}";

}  // namespace

void SubclassEnterKey(EnterKeySubclass* record, HWND owner, HWND edit) {
  if (!record || !edit) return;
  record->owner = owner;
  SetPropW(edit, kRecordProperty, record);
  record->previous = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(EnterKeyWndProc)));
}

LRESULT CALLBACK EnterKeyWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* record = static_cast<EnterKeySubclass*>(GetPropW(window, kRecordProperty));
  if (!record || !record->previous) return 0;
  if (message == WM_KEYDOWN && wParam == VK_RETURN) {
    SendMessageW(record->owner, record->message, 0, 0);
    return 0;
  }
  const LRESULT answer = CallWindowProcW(record->previous, window, message, wParam, lParam);
  if (message == WM_GETDLGCODE) return answer | DLGC_WANTALLKEYS;
  if (message == WM_NCDESTROY) RemovePropW(window, kRecordProperty);
  return answer;
}
