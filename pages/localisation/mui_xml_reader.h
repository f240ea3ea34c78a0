// Reads a string-table document (BOM, UTF-8, a `mui` root) into its id/val pairs, or nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/types.h"

// One child element of the root that carries an `id`; `val` is empty when absent. Entities and
// character references are decoded; the backslash sequences are left for UnescapeMuiText.
struct MuiXmlEntry {
  WString id;
  WString val;
};

// The entries in document order, or nullopt when the bytes are not a well-formed UTF-8 document
// with a byte-order mark and a `mui` root: a damaged table yields nothing rather than a part.
std::optional<std::vector<MuiXmlEntry>> ReadMuiXml(std::span<const uint8_t> bytes);
