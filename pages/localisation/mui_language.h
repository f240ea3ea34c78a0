// The process's one user-interface language: chosen and loaded once, then read-only.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <span>
#include <string_view>

#include "pages/localisation/mui_table.h"
#include "platform/types.h"

// Where the tables come from: the module's resources on Windows, files or memory in tests.
class MuiSource {
 public:
  virtual ~MuiSource() = default;
  // The bytes of the table named `code`; empty when there is none. They must outlive the call.
  virtual std::span<const uint8_t> table(std::string_view code) const = 0;
  // The user's default user-interface language, for a LANGID of 0.
  virtual uint16_t userLangId() const = 0;
};

class MuiLanguage {
 public:
  // Chooses and loads the language on the first call, whichever thread makes it; every later
  // call returns at once, whatever it passes. Never throws: running out of memory while loading
  // leaves the process in English.
  void load(uint16_t langId, const MuiSource& source) noexcept;

  // True only when a non-English table was loaded and read.
  bool translationLoaded() const { return ready_.load(std::memory_order_acquire) && loaded_; }
  // `text`'s translation (the first id with one), else `text` itself. Lives as long as this.
  WStringView translate(WStringView text) const;
  // For a window's text: the first entry whose English matches decides; null keeps the text.
  const WString* windowTranslation(WStringView text) const;
  // The translation of a printf format, used only when it takes the same arguments as the
  // English text; otherwise the English format.
  WStringView translateFormat(WStringView format) const;

 private:
  void choose(uint16_t langId, const MuiSource& source);

  std::once_flag once_;
  std::atomic<bool> ready_{false};  // set after the table is complete; readers check it first
  bool loaded_ = false;
  MuiTable table_;
};

// The one instance the pages use.
MuiLanguage& ProcessMuiLanguage();
