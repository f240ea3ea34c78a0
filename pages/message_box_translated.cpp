// Formats into a fixed buffer (longer texts are cut, always terminated) and hands it on.
#include "pages/message_box_translated.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

#include "pages/localisation/mui_language.h"
#include "pages/mui_resources.h"

namespace {

std::atomic<MessagePresenter> gPresenter{nullptr};

int defaultPresenter(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) {
  return MessageBoxW(owner, text, caption, type);
}

}  // namespace

MessagePresenter SetMessagePresenter(MessagePresenter presenter) {
  const MessagePresenter old = gPresenter.exchange(presenter);
  return old ? old : defaultPresenter;
}

int MessageBoxTranslated(LANGID langId, HWND owner, const wchar_t* format, const wchar_t* caption,
                         UINT type, ...) {
  constexpr size_t kMaxText = 4096;
  wchar_t text[kMaxText] = {};
  if (format) {
    LoadLanguage(langId);
    const WStringView chosen = ProcessMuiLanguage().translateFormat(format);
    va_list args;
    va_start(args, type);
    // The chosen view is either `format` or a zero-terminated table string.
    _vsnwprintf(text, kMaxText - 1, chosen.data(), args);
    va_end(args);
    text[kMaxText - 1] = 0;
  }
  const MessagePresenter presenter = gPresenter.load();
  return (presenter ? presenter : defaultPresenter)(owner, text, TranslateString(langId, caption),
                                                    type);
}
