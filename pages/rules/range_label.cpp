// The range texts beside the exposure page's fields and in the exposure-time dialog.
#include "pages/rules/range_label.h"

#include <cstdio>

namespace {

// ASCII digits and punctuation widened to UTF-16.
void Append(WString& to, std::string_view ascii) {
  for (char c : ascii) to.push_back(static_cast<WCHAR16>(static_cast<unsigned char>(c)));
}

std::string_view Number(char (&buffer)[32], const char* format, double value) {
  const int n = std::snprintf(buffer, sizeof buffer, format, value);
  return std::string_view(buffer, n > 0 ? size_t(n) : 0);
}

}  // namespace

WString FieldRangeLabel(WStringView rangeWord, uint32_t lowest, uint32_t highest,
                        WStringView defaultWord, uint32_t defaultValue, std::string_view unit) {
  char span[48];
  const int n = std::snprintf(span, sizeof span, "[%u, %u], ", lowest, highest);
  char value[16];
  const int m = std::snprintf(value, sizeof value, ":%u", defaultValue);
  WString text;
  Append(text, "(");
  text += rangeWord;
  Append(text, std::string_view(span, n > 0 ? size_t(n) : 0));
  text += defaultWord;
  Append(text, std::string_view(value, m > 0 ? size_t(m) : 0));
  Append(text, unit);
  Append(text, ")");
  return text;
}

WString ExposureDialogRangeText(WStringView rangeWord, uint32_t minUs, uint32_t maxUs) {
  char low[32];
  char high[32];
  WString text(rangeWord);
  Append(text, " [");
  Append(text, Number(low, "%.3f", minUs / 1000.0));
  Append(text, ", ");
  Append(text, Number(high, "%.3f", maxUs / 1000.0));
  Append(text, "] ms");
  return text;
}
