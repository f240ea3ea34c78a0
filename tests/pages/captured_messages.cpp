// Message boxes the pages show, captured instead of shown.
#include "tests/pages/captured_messages.h"

#include "pages/message_box_translated.h"

namespace {

int CapturePresenter(HWND, const wchar_t* text, const wchar_t* caption, UINT type) {
  CapturedMessages::shown().push_back({text ? text : L"", caption ? caption : L"", type});
  return IDOK;
}

}  // namespace

CapturedMessages::CapturedMessages() {
  shown().clear();
  SetMessagePresenter(CapturePresenter);
}

CapturedMessages::~CapturedMessages() {
  SetMessagePresenter(nullptr);
}

std::vector<ShownMessage>& CapturedMessages::shown() {
  static std::vector<ShownMessage> captured;
  return captured;
}
