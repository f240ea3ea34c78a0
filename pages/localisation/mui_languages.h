// The languages the pages may be shown in: a Windows LANGID to a string-table code.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

struct MuiLanguageRow {
  uint16_t langId;
  std::string_view code;
};

// All rows in search order (the first matching row wins).
std::span<const MuiLanguageRow> MuiLanguageRows();

// The code for `langId`: an exact row first, else the row of its primary language
// (langId & 0x3FF); empty when neither exists. Codes without a table lead to English.
std::string_view MuiLanguageCode(uint16_t langId);
