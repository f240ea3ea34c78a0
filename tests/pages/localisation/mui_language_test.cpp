// The language choice: which table a LANGID loads, and that the first choice stays.
#include <gtest/gtest.h>

#include "pages/localisation/mui_language.h"
#include "pages/localisation/mui_languages.h"
#include "tests/pages/localisation/memory_mui_source.h"

namespace {

// Every code with a table in the product, so the choice is tested against the real set.
const std::vector<std::string> kShipped = {"CA", "DE", "ES", "FR", "HANS", "HANT", "HU", "ID", "IT",
                                           "JA", "KO", "MS", "PL", "RU",   "TH",   "TR", "UK"};

struct ChoiceCase {
  uint16_t langId;
  const char* code;       // of the row found; "" for none
  const char* colorText;  // what "Color" becomes
};

class MuiLanguageChoice : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(MuiLanguageChoice, LoadsTheRowsTable) {
  const auto& c = GetParam();
  EXPECT_EQ(MuiLanguageCode(c.langId), c.code);
  MemoryMuiSource source(kShipped);
  MuiLanguage language;
  language.load(c.langId, source);
  EXPECT_EQ(WString(language.translate(W("Color"))), W(c.colorText));
  EXPECT_EQ(language.translationLoaded(), std::string(c.colorText) != "Color");
  EXPECT_EQ(WString(language.translate(W("Gain:"))), W("Gain:"));  // not in any translation
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MuiLanguageChoice,
    ::testing::Values(ChoiceCase{0x0407, "DE", "DE"},  // German (Germany) by its primary language
                      ChoiceCase{0x0C07, "DE", "DE"},  // German (Austria)
                      ChoiceCase{0x0804, "HANS", "HANS"}, ChoiceCase{0x1004, "HANS", "HANS"},
                      ChoiceCase{0x0404, "HANT", "HANT"}, ChoiceCase{0x0C04, "HANT", "HANT"},
                      ChoiceCase{0x1404, "HANT", "HANT"},
                      ChoiceCase{0x0416, "PTBR", "Color"},  // no such table: English
                      ChoiceCase{0x0816, "PT", "Color"}, ChoiceCase{0x0409, "", "Color"},
                      ChoiceCase{0x0809, "", "Color"}, ChoiceCase{0x0411, "JA", "JA"},
                      ChoiceCase{0x0412, "KO", "KO"}, ChoiceCase{0x041E, "TH", "TH"},
                      ChoiceCase{0x0422, "UK", "UK"}, ChoiceCase{0x0403, "CA", "CA"},
                      ChoiceCase{0x043E, "MS", "MS"}, ChoiceCase{0x0421, "ID", "ID"},
                      ChoiceCase{0x0814, "NN", "Color"}, ChoiceCase{0x0401, "AR", "Color"},
                      ChoiceCase{0x0000 | 0x0063, "PS", "Color"}));

TEST(MuiLanguageRows, SixtyOneRowsEachLangIdOnce) {
  const auto rows = MuiLanguageRows();
  EXPECT_EQ(rows.size(), 61u);
  for (size_t i = 0; i < rows.size(); ++i)
    for (size_t k = i + 1; k < rows.size(); ++k) EXPECT_NE(rows[i].langId, rows[k].langId);
}

TEST(MuiLanguage, FirstLoadWinsAndEnglishIsReadOnce) {
  MemoryMuiSource source(kShipped);
  MuiLanguage language;
  language.load(0x0407, source);
  const int asked = source.asked();
  language.load(0x040C, source);
  language.load(0, source);
  EXPECT_EQ(WString(language.translate(W("Color"))), W("DE"));
  EXPECT_EQ(source.asked(), asked);
}

TEST(MuiLanguage, EnglishFirstStaysEnglish) {
  MemoryMuiSource source(kShipped);
  MuiLanguage language;
  language.load(0x0409, source);
  language.load(0x0407, source);
  EXPECT_FALSE(language.translationLoaded());
  EXPECT_EQ(WString(language.translate(W("Color"))), W("Color"));
}

TEST(MuiLanguage, ZeroFollowsTheUsersLanguage) {
  MemoryMuiSource source(kShipped, 0x0411);
  MuiLanguage language;
  language.load(0, source);
  EXPECT_EQ(WString(language.translate(W("Color"))), W("JA"));
}

TEST(MuiLanguage, NothingTranslatesBeforeTheChoice) {
  MuiLanguage language;
  EXPECT_EQ(WString(language.translate(W("Color"))), W("Color"));
  EXPECT_EQ(language.windowTranslation(W("Color")), nullptr);
}

TEST(MuiLanguage, DamagedTranslationLeavesEnglish) {
  MemoryMuiSource source(kShipped);
  source.tables_["DE"].resize(source.tables_["DE"].size() / 2);
  MuiLanguage language;
  language.load(0x0407, source);
  EXPECT_FALSE(language.translationLoaded());
  EXPECT_EQ(WString(language.translate(W("Color"))), W("Color"));
}

TEST(MuiLanguage, FormatWithOtherConversionsFallsBackToEnglish) {
  MemoryMuiSource source({});
  source.tables_["EN"] = MuiDoc(R"(<str id="bits" val="%u Bits"/><str id="range" val="[%.1f]"/>)");
  source.tables_["DE"] = MuiDoc(R"(<str id="bits" val="%s Bit"/><str id="range" val="[%.2f]"/>)");
  MuiLanguage language;
  language.load(0x0407, source);
  EXPECT_EQ(WString(language.translate(W("%u Bits"))), W("%s Bit"));
  EXPECT_EQ(WString(language.translateFormat(W("%u Bits"))), W("%u Bits"));
  EXPECT_EQ(WString(language.translateFormat(W("[%.1f]"))), W("[%.2f]"));
}

}  // namespace
