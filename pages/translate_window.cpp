// Window texts are read into a fixed buffer; longer texts than any table holds are cut there.
#include "pages/translate_window.h"

#include "pages/localisation/mui_language.h"

void TranslateWindow(HWND window) {
  constexpr int kMaxText = 4096;
  wchar_t text[kMaxText + 1] = {};
  const int length = GetWindowTextW(window, text, kMaxText + 1);
  if (length <= 0) return;
  const WString* translated = ProcessMuiLanguage().windowTranslation(WStringView(text, length));
  if (translated) SetWindowTextW(window, translated->c_str());
}

BOOL CALLBACK TranslateWindowCallback(HWND window, LPARAM /*unused*/) {
  TranslateWindow(window);
  return TRUE;
}
