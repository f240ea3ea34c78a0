// Small builders shared by the string-table tests.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/types.h"
#include "platform/utf16.h"

inline WString W(std::string_view utf8) {
  return platform::Utf8ToWide(utf8);
}

inline std::vector<uint8_t> Bytes(std::string_view text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

// A table document: BOM, declaration, `<mui>` around `body`.
inline std::vector<uint8_t> MuiDoc(std::string_view body) {
  std::string text = "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<mui>\n";
  text += body;
  text += "\n</mui>\n";
  return Bytes(text);
}
