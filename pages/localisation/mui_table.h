// One language's string table: English texts by id and, once a translation is loaded, theirs.
#pragma once

#include <cstdint>
#include <map>
#include <span>

#include "platform/types.h"

class MuiTable {
 public:
  struct Entry {
    WString english;
    WString translation;  // empty until a translation is loaded
  };
  // Ordered by id in UTF-16 code units, the order in which the lookups below walk the table.
  using Entries = std::map<WString, Entry>;

  // The English table: each id's first non-empty value. False (and nothing added) when the
  // document is unreadable.
  bool loadEnglish(std::span<const uint8_t> bytes);
  // A translation of ids already present; unknown ids and empty values are ignored. False (and
  // nothing changed) when the document is unreadable. Either the whole document's translations
  // are taken or none.
  bool loadTranslation(std::span<const uint8_t> bytes);

  // The first entry, in id order, whose English is `text` and which has a translation; null when
  // there is none.
  const WString* translate(WStringView text) const;
  // The first entry whose English is `text` decides: its translation, or null when it has none
  // (a window keeps its text).
  const WString* windowTranslation(WStringView text) const;

  const Entries& entries() const { return entries_; }

 private:
  Entries entries_;
};
