// Replaces backslash-r, then backslash-n, then backslash-t, each over the whole text in turn.
#include "pages/localisation/unescape_mui_text.h"

namespace {

void replaceAll(WString& text, WCHAR16 letter, WCHAR16 control) {
  const WCHAR16 pattern[] = {u'\\', letter};
  const WStringView needle(pattern, 2);
  for (size_t at = text.find(needle); at != WString::npos; at = text.find(needle, at + 1))
    text.replace(at, 2, 1, control);
}

}  // namespace

WString UnescapeMuiText(WStringView text) {
  WString out(text);
  replaceAll(out, u'r', u'\r');
  replaceAll(out, u'n', u'\n');
  replaceAll(out, u't', u'\t');
  return out;
}
