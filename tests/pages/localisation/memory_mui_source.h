// A string-table source over documents held in memory, counting what is asked of it.
#pragma once

#include <atomic>
#include <map>
#include <string>
#include <vector>

#include "pages/localisation/mui_language.h"
#include "tests/pages/localisation/mui_test_util.h"

class MemoryMuiSource : public MuiSource {
 public:
  // English "Color" and "Gain:"; each code in `codes` translates "Color" to the code itself.
  explicit MemoryMuiSource(std::vector<std::string> codes, uint16_t userLangId = 0x0409)
      : userLangId_(userLangId) {
    tables_["EN"] = MuiDoc(R"(<str id="color" val="Color"/><str id="gain" val="Gain:"/>)");
    for (const auto& code : codes)
      tables_[code] = MuiDoc("<str id=\"color\" val=\"" + code + "\"/>");
  }
  std::span<const uint8_t> table(std::string_view code) const override {
    ++asked_;
    const auto found = tables_.find(std::string(code));
    return found == tables_.end() ? std::span<const uint8_t>() : found->second;
  }
  uint16_t userLangId() const override { return userLangId_; }
  int asked() const { return asked_; }

  std::map<std::string, std::vector<uint8_t>> tables_;

 private:
  uint16_t userLangId_;
  mutable std::atomic<int> asked_{0};
};
