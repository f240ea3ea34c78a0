// Splits a wide printf format into its conversions, and compares two formats' argument lists.
#include "pages/localisation/printf_conversions.h"

#include <string_view>

namespace {

bool isIn(WCHAR16 c, std::string_view set) {
  return c < 0x80 && set.find(static_cast<char>(c)) != std::string_view::npos;
}

bool startsWithAscii(WStringView text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t k = 0; k < prefix.size(); ++k)
    if (text[k] != static_cast<WCHAR16>(prefix[k])) return false;
  return true;
}

// From the '%' at `at`: the length of the conversion, or 0 when it is not one.
size_t conversionLength(WStringView text, size_t at) {
  size_t i = at + 1;
  auto more = [&] { return i < text.size(); };
  while (more() && isIn(text[i], "-+ #0")) ++i;
  if (more() && text[i] == u'*') ++i;
  while (more() && isIn(text[i], "0123456789")) ++i;
  if (more() && text[i] == u'.') {
    ++i;
    if (more() && text[i] == u'*') ++i;
    while (more() && isIn(text[i], "0123456789")) ++i;
  }
  // Length modifiers, including the Microsoft I, I32 and I64 forms.
  static constexpr std::string_view kLengths[] = {"hh", "ll", "I64", "I32", "h", "l",
                                                  "L",  "j",  "z",   "t",   "I", "w"};
  for (auto length : kLengths) {
    if (startsWithAscii(text.substr(i), length)) {
      i += length.size();
      break;
    }
  }
  if (!more() || !isIn(text[i], "diouxXeEfFgGaAcCsSp")) return 0;
  return i + 1 - at;
}

// What a conversion takes from the argument list: '*'s, the length modifier and the letter.
WString argumentShape(WStringView conversion) {
  WString shape;
  for (size_t i = 1; i < conversion.size(); ++i) {
    const WCHAR16 c = conversion[i];
    if (c == u'*' || !isIn(c, "-+ #0.0123456789")) shape += c;
  }
  return shape;
}

}  // namespace

std::optional<std::vector<WString>> PrintfConversions(WStringView text) {
  std::vector<WString> out;
  for (size_t i = text.find(u'%'); i != WStringView::npos; i = text.find(u'%', i)) {
    if (i + 1 < text.size() && text[i + 1] == u'%') {
      i += 2;
      continue;
    }
    const size_t n = conversionLength(text, i);
    if (n == 0) return std::nullopt;
    out.emplace_back(text.substr(i, n));
    i += n;
  }
  return out;
}

bool PrintfConversionsMatch(WStringView english, WStringView translation) {
  const auto a = PrintfConversions(english);
  const auto b = PrintfConversions(translation);
  if (!a || !b || a->size() != b->size()) return false;
  for (size_t i = 0; i < a->size(); ++i)
    if (argumentShape((*a)[i]) != argumentShape((*b)[i])) return false;
  return true;
}
