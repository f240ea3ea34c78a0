// Message boxes the pages show, captured instead of shown while one of these lives.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// One message box the page asked for.
struct ShownMessage {
  std::wstring text;
  std::wstring caption;
  UINT type;
};

class CapturedMessages {
 public:
  CapturedMessages();  // forgets what earlier ones captured
  ~CapturedMessages();
  CapturedMessages(const CapturedMessages&) = delete;
  CapturedMessages& operator=(const CapturedMessages&) = delete;
  // What was captured, kept after the capture ends.
  static std::vector<ShownMessage>& shown();
};
