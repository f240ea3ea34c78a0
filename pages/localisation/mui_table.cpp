// Builds a table from a document off to the side, then takes it in one step that cannot fail.
#include "pages/localisation/mui_table.h"

#include "pages/localisation/mui_xml_reader.h"
#include "pages/localisation/unescape_mui_text.h"

namespace {

// Reads the document and hands each entry with a value to `apply` on a copy of the table; the
// copy replaces the table only when the whole document was taken.
template <typename Apply>
bool takeWhole(MuiTable::Entries& entries, std::span<const uint8_t> bytes, Apply apply) {
  const auto read = ReadMuiXml(bytes);
  if (!read) return false;
  MuiTable::Entries next = entries;
  for (const auto& item : *read)
    if (!item.val.empty()) apply(next, item);
  entries.swap(next);
  return true;
}

}  // namespace

bool MuiTable::loadEnglish(std::span<const uint8_t> bytes) {
  return takeWhole(entries_, bytes, [](Entries& next, const MuiXmlEntry& item) {
    next.try_emplace(item.id, Entry{UnescapeMuiText(item.val), WString()});
  });
}

bool MuiTable::loadTranslation(std::span<const uint8_t> bytes) {
  return takeWhole(entries_, bytes, [](Entries& next, const MuiXmlEntry& item) {
    const auto found = next.find(item.id);
    if (found != next.end()) found->second.translation = UnescapeMuiText(item.val);
  });
}

const WString* MuiTable::translate(WStringView text) const {
  for (const auto& [id, entry] : entries_)
    if (entry.english == text && !entry.translation.empty()) return &entry.translation;
  return nullptr;
}

const WString* MuiTable::windowTranslation(WStringView text) const {
  for (const auto& [id, entry] : entries_) {
    if (entry.english == text) return entry.translation.empty() ? nullptr : &entry.translation;
  }
  return nullptr;
}
