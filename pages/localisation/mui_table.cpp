// Builds a table from a document off to the side, then takes it in one step that cannot fail.
#include "pages/localisation/mui_table.h"

#include "pages/localisation/mui_xml_reader.h"
#include "pages/localisation/unescape_mui_text.h"

bool MuiTable::loadEnglish(std::span<const uint8_t> bytes) {
  const auto read = ReadMuiXml(bytes);
  if (!read) return false;
  Entries next = entries_;
  for (const auto& item : *read) {
    if (item.val.empty()) continue;
    next.try_emplace(item.id, Entry{UnescapeMuiText(item.val), WString()});
  }
  entries_.swap(next);
  return true;
}

bool MuiTable::loadTranslation(std::span<const uint8_t> bytes) {
  const auto read = ReadMuiXml(bytes);
  if (!read) return false;
  Entries next = entries_;
  for (const auto& item : *read) {
    if (item.val.empty()) continue;
    const auto found = next.find(item.id);
    if (found != next.end()) found->second.translation = UnescapeMuiText(item.val);
  }
  entries_.swap(next);
  return true;
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
