// Language choice: English first as the reference, then the user's table over it.
#include "pages/localisation/mui_language.h"

#include <new>

#include "pages/localisation/mui_languages.h"
#include "pages/localisation/printf_conversions.h"

void MuiLanguage::load(uint16_t langId, const MuiSource& source) noexcept {
  std::call_once(once_, [&]() noexcept {
    try {
      choose(langId, source);
    } catch (...) {
      // Out of memory (or a source that threw): each step commits whole, so what stays is
      // English or the complete translation.
    }
    ready_.store(true, std::memory_order_release);
  });
}

void MuiLanguage::choose(uint16_t langId, const MuiSource& source) {
  if (langId == 0) langId = source.userLangId();
  table_.loadEnglish(source.table("EN"));
  const std::string_view code = MuiLanguageCode(langId);
  if (code.empty()) return;
  const auto bytes = source.table(code);
  if (bytes.empty()) return;
  loaded_ = table_.loadTranslation(bytes);
}

WStringView MuiLanguage::translate(WStringView text) const {
  if (!translationLoaded()) return text;
  const WString* found = table_.translate(text);
  return found ? WStringView(*found) : text;
}

const WString* MuiLanguage::windowTranslation(WStringView text) const {
  return translationLoaded() ? table_.windowTranslation(text) : nullptr;
}

WStringView MuiLanguage::translateFormat(WStringView format) const {
  const WStringView translated = translate(format);
  return PrintfConversionsMatch(format, translated) ? translated : format;
}

MuiLanguage& ProcessMuiLanguage() {
  static MuiLanguage instance;
  return instance;
}
