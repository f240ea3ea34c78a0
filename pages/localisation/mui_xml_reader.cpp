// A strict reader for the XML subset the string tables use; anything else refuses the document.
#include "pages/localisation/mui_xml_reader.h"

#include <string_view>

namespace {

// Nesting below the root is only ever one level; deeper trees are accepted up to this bound.
constexpr int kMaxDepth = 64;

// Strict UTF-8: no overlong forms, surrogates or values past U+10FFFF, and only characters XML
// allows (tab, line feed and carriage return are the only controls).
bool isValidUtf8Xml(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
      if (b0 < 0x20 && b0 != '\t' && b0 != '\n' && b0 != '\r') return false;
      ++i;
      continue;
    }
    const int extra = b0 >= 0xF0 ? 3 : b0 >= 0xE0 ? 2 : b0 >= 0xC2 ? 1 : -1;
    if (extra < 0 || b0 > 0xF4 || s.size() - i <= static_cast<size_t>(extra)) return false;
    char32_t cp = b0 & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
      const auto b = static_cast<unsigned char>(s[i + k]);
      if ((b & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (b & 0x3F);
    }
    static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    if (cp == 0xFFFE || cp == 0xFFFF) return false;
    i += extra + 1;
  }
  return true;
}

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool isNameStart(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == '_' || u == ':' || u >= 0x80;
}

bool isNameChar(char c) {
  return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

bool isXmlChar(char32_t cp) {
  return cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) ||
         (cp >= 0xE000 && cp <= 0xFFFD) || (cp >= 0x10000 && cp <= 0x10FFFF);
}

void appendCodePoint(WString& out, char32_t cp) {
  if (cp >= 0x10000) {
    out += static_cast<WCHAR16>(0xD800 + ((cp - 0x10000) >> 10));
    out += static_cast<WCHAR16>(0xDC00 + ((cp - 0x10000) & 0x3FF));
  } else {
    out += static_cast<WCHAR16>(cp);
  }
}

// Appends text already checked by isValidUtf8Xml; never more units than bytes.
void appendUtf8(WString& out, std::string_view s) {
  size_t at = out.size();
  out.resize(at + s.size());
  for (size_t i = 0; i < s.size();) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    const int extra = b0 >= 0xF0 ? 3 : b0 >= 0xE0 ? 2 : b0 >= 0xC0 ? 1 : 0;
    char32_t cp = extra ? b0 & (0x3F >> extra) : b0;
    for (int k = 1; k <= extra; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    if (cp >= 0x10000) {
      out[at++] = static_cast<WCHAR16>(0xD800 + ((cp - 0x10000) >> 10));
      out[at++] = static_cast<WCHAR16>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      out[at++] = static_cast<WCHAR16>(cp);
    }
    i += extra + 1;
  }
  out.resize(at);
}

struct Attribute {
  std::string_view name;
  WString value;
};

// A cursor over the validated document; every method leaves `pos` past what it consumed and
// answers false on anything malformed.
class Reader {
 public:
  explicit Reader(std::string_view text) : s_(text) {}

  bool document(std::vector<MuiXmlEntry>& out);

 private:
  bool startsWith(std::string_view prefix) const {
    return s_.substr(pos_, prefix.size()) == prefix;
  }
  void skipSpace() {
    while (pos_ < s_.size() && isSpace(s_[pos_])) ++pos_;
  }
  bool skipPast(std::string_view end) {
    const size_t at = s_.find(end, pos_);
    if (at == std::string_view::npos) return false;
    pos_ = at + end.size();
    return true;
  }
  bool name(std::string_view& out);
  bool reference(WString& out);
  bool attributeValue(WString& out);
  bool startTag(std::string_view& tag, std::vector<Attribute>& attrs, bool& empty);
  bool endTag(std::string_view tag);
  bool misc();
  bool prolog();
  bool text();
  bool element(std::vector<MuiXmlEntry>* out);

  std::string_view s_;
  size_t pos_ = 0;
};

bool Reader::name(std::string_view& out) {
  const size_t start = pos_;
  if (pos_ >= s_.size() || !isNameStart(s_[pos_])) return false;
  while (pos_ < s_.size() && isNameChar(s_[pos_])) ++pos_;
  out = s_.substr(start, pos_ - start);
  return true;
}

// After '&': one of the five predefined entities or a decimal or hexadecimal character reference.
bool Reader::reference(WString& out) {
  const size_t semi = s_.find(';', pos_);
  if (semi == std::string_view::npos || semi - pos_ > 10) return false;
  const std::string_view ref = s_.substr(pos_, semi - pos_);
  pos_ = semi + 1;
  static constexpr struct {
    std::string_view name;
    char16_t ch;
  } kEntities[] = {{"amp", u'&'}, {"lt", u'<'}, {"gt", u'>'}, {"quot", u'"'}, {"apos", u'\''}};
  for (const auto& e : kEntities) {
    if (ref == e.name) {
      out += static_cast<WCHAR16>(e.ch);
      return true;
    }
  }
  if (ref.size() < 2 || ref[0] != '#') return false;
  const bool hex = ref[1] == 'x';
  const std::string_view digits = ref.substr(hex ? 2 : 1);
  if (digits.empty()) return false;
  char32_t cp = 0;
  for (char c : digits) {
    int d = -1;
    if (c >= '0' && c <= '9') d = c - '0';
    if (hex && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    if (hex && c >= 'A' && c <= 'F') d = c - 'A' + 10;
    if (d < 0) return false;
    cp = cp * (hex ? 16 : 10) + d;
    if (cp > 0x10FFFF) return false;
  }
  if (!isXmlChar(cp)) return false;
  appendCodePoint(out, cp);
  return true;
}

// A quoted value: references decoded, literal white space normalised to spaces as XML requires
// (a CR LF pair is one line end, so one space).
bool Reader::attributeValue(WString& out) {
  if (pos_ >= s_.size() || (s_[pos_] != '"' && s_[pos_] != '\'')) return false;
  const char quote = s_[pos_++];
  size_t runStart = pos_;
  auto flush = [&] { appendUtf8(out, s_.substr(runStart, pos_ - runStart)); };
  while (pos_ < s_.size() && s_[pos_] != quote) {
    const char c = s_[pos_];
    if (c == '<') return false;
    if (c == '&' || c == '\t' || c == '\n' || c == '\r') {
      flush();
      ++pos_;
      if (c == '&') {
        if (!reference(out)) return false;
      } else {
        if (c == '\r' && pos_ < s_.size() && s_[pos_] == '\n') ++pos_;
        out += static_cast<WCHAR16>(u' ');
      }
      runStart = pos_;
    } else {
      ++pos_;
    }
  }
  if (pos_ >= s_.size()) return false;
  flush();
  ++pos_;
  return true;
}

// After '<': name, attributes, then '>' or '/>'. A repeated attribute name is malformed.
bool Reader::startTag(std::string_view& tag, std::vector<Attribute>& attrs, bool& empty) {
  if (!name(tag)) return false;
  for (;;) {
    const size_t before = pos_;
    skipSpace();
    if (startsWith("/>")) {
      pos_ += 2;
      empty = true;
      return true;
    }
    if (startsWith(">")) {
      ++pos_;
      empty = false;
      return true;
    }
    if (pos_ == before) return false;  // attributes need white space before them
    Attribute attr;
    if (!name(attr.name)) return false;
    skipSpace();
    if (!startsWith("=")) return false;
    ++pos_;
    skipSpace();
    if (!attributeValue(attr.value)) return false;
    for (const auto& a : attrs)
      if (a.name == attr.name) return false;
    attrs.push_back(std::move(attr));
  }
}

bool Reader::endTag(std::string_view tag) {
  std::string_view closing;
  if (!name(closing) || closing != tag) return false;
  skipSpace();
  if (!startsWith(">")) return false;
  ++pos_;
  return true;
}

// Character data between tags: references must be well formed, "]]>" may not appear.
bool Reader::text() {
  while (pos_ < s_.size() && s_[pos_] != '<') {
    if (startsWith("]]>")) return false;
    if (s_[pos_] == '&') {
      ++pos_;
      WString ignored;
      if (!reference(ignored)) return false;
    } else {
      ++pos_;
    }
  }
  return true;
}

// A comment or processing instruction at pos_ ('<' already seen, not consumed); false if neither.
bool Reader::misc() {
  if (startsWith("<!--")) {
    pos_ += 4;
    const size_t end = s_.find("--", pos_);
    if (end == std::string_view::npos || !s_.substr(end).starts_with("-->")) return false;
    pos_ = end + 3;
    return true;
  }
  if (startsWith("<?")) {
    pos_ += 2;
    std::string_view target;
    if (!name(target)) return false;
    if (target.size() == 3 && (target[0] | 0x20) == 'x' && (target[1] | 0x20) == 'm' &&
        (target[2] | 0x20) == 'l')
      return false;  // the declaration only belongs at the very start
    return skipPast("?>");
  }
  return false;
}

// The optional declaration: version 1.0 and, when named, the UTF-8 encoding.
bool Reader::prolog() {
  if (!startsWith("<?xml") || (pos_ + 5 < s_.size() && !isSpace(s_[pos_ + 5]))) return true;
  pos_ += 5;
  const size_t end = s_.find("?>", pos_);
  if (end == std::string_view::npos) return false;
  const std::string_view decl = s_.substr(pos_, end - pos_);
  pos_ = end + 2;
  if (decl.find("version") == std::string_view::npos) return false;
  const size_t enc = decl.find("encoding");
  if (enc == std::string_view::npos) return true;
  const std::string_view rest = decl.substr(enc);
  const size_t q = rest.find_first_of("\"'");
  if (q == std::string_view::npos) return false;
  std::string_view value = rest.substr(q + 1);
  value = value.substr(0, value.find(rest[q]));
  if (value.size() != 5) return false;
  const char upper[] = {char(value[0] & ~0x20), char(value[1] & ~0x20), char(value[2] & ~0x20),
                        value[3], value[4]};
  return std::string_view(upper, 5) == "UTF-8";
}

// One element and everything inside it, iteratively. When `out` is set this is the root: each
// direct child element with an `id` becomes an entry.
bool Reader::element(std::vector<MuiXmlEntry>* out) {
  std::vector<std::string_view> open;
  std::vector<Attribute> attrs;
  std::string_view tag;
  bool empty = false;
  ++pos_;
  if (!startTag(tag, attrs, empty)) return false;
  if (out && tag != "mui") return false;
  if (empty) return true;
  open.push_back(tag);
  while (!open.empty()) {
    if (!text() || pos_ >= s_.size()) return false;
    if (startsWith("</")) {
      pos_ += 2;
      if (!endTag(open.back())) return false;
      open.pop_back();
    } else if (startsWith("<![CDATA[")) {
      if (!skipPast("]]>")) return false;
    } else if (startsWith("<!--") || startsWith("<?")) {
      if (!misc()) return false;
    } else {
      ++pos_;
      attrs.clear();
      if (!startTag(tag, attrs, empty)) return false;
      if (out && open.size() == 1) {
        MuiXmlEntry entry;
        bool hasId = false;
        for (auto& a : attrs) {
          if (a.name == "id") {
            hasId = true;
            entry.id = std::move(a.value);
          } else if (a.name == "val") {
            entry.val = std::move(a.value);
          }
        }
        if (hasId) out->push_back(std::move(entry));
      }
      if (!empty) {
        if (open.size() >= kMaxDepth) return false;
        open.push_back(tag);
      }
    }
  }
  return true;
}

bool Reader::document(std::vector<MuiXmlEntry>& out) {
  if (!prolog()) return false;
  bool rootSeen = false;
  for (;;) {
    skipSpace();
    if (pos_ >= s_.size()) return rootSeen;
    if (!startsWith("<")) return false;
    if (startsWith("<!--") || startsWith("<?")) {
      if (!misc()) return false;
    } else if (rootSeen) {
      return false;  // one root only; no document type declaration either
    } else {
      if (startsWith("<!")) return false;
      if (!element(&out)) return false;
      rootSeen = true;
    }
  }
}

}  // namespace

std::optional<std::vector<MuiXmlEntry>> ReadMuiXml(std::span<const uint8_t> bytes) {
  static constexpr uint8_t kBom[] = {0xEF, 0xBB, 0xBF};
  if (bytes.size() < 3 || bytes[0] != kBom[0] || bytes[1] != kBom[1] || bytes[2] != kBom[2])
    return std::nullopt;
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()) + 3, bytes.size() - 3);
  if (!isValidUtf8Xml(text)) return std::nullopt;
  std::vector<MuiXmlEntry> entries;
  Reader reader(text);
  if (!reader.document(entries)) return std::nullopt;
  return entries;
}
