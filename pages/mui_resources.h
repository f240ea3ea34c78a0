// The module's string tables (resources of type "MUI" named by language code) and the process's
// language: LoadLanguage chooses once, TranslateString reads.
#pragma once

#include <windows.h>

#include <cstdint>
#include <span>
#include <string_view>

#include "pages/localisation/mui_language.h"

// The bytes of the table named `code` in `module`; empty when it is missing or cannot be loaded.
// Resource memory stays mapped while the module is loaded.
std::span<const uint8_t> LoadMuiResource(HMODULE module, std::string_view code);

// Tables from a module's resources; a LANGID of 0 means the user's user-interface language.
class ModuleMuiSource : public MuiSource {
 public:
  explicit ModuleMuiSource(HMODULE module) : module_(module) {}
  std::span<const uint8_t> table(std::string_view code) const override {
    return LoadMuiResource(module_, code);
  }
  uint16_t userLangId() const override { return GetUserDefaultUILanguage(); }

 private:
  HMODULE module_;
};

// Chooses the process's language from this module's tables on the first call; later calls,
// from any thread and with any LANGID, return at once.
void LoadLanguage(LANGID langId);

// `text`'s translation, or `text` itself; the result lives as long as the process (or `text`).
const wchar_t* TranslateString(LANGID langId, const wchar_t* text);
