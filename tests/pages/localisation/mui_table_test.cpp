// A table's English and translated texts, and the two lookups the pages use.
#include <gtest/gtest.h>

#include "pages/localisation/mui_table.h"
#include "pages/localisation/unescape_mui_text.h"
#include "tests/pages/localisation/mui_test_util.h"

namespace {

const char kEnglish[] = R"(
  <!-- ids deliberately out of order: the table orders them -->
  <str id="zz" val="Shared"/>
  <str id="color" val="&amp;Color"/>
  <str id="bb" val="Shared"/>
  <str id="aa" val="Shared"/>
  <str id="quote" val="the &quot;One Push&quot; button"/>
  <str id="lines" val="a\r\nb\tc"/>
  <str id="empty" val=""/>
  <str id="color" val="Second"/>
  <str val="no id"/>
  <str id="only" val="Only"/>)";

MuiTable EnglishTable() {
  MuiTable table;
  EXPECT_TRUE(table.loadEnglish(MuiDoc(kEnglish)));
  return table;
}

TEST(MuiTable, EnglishKeepsEachIdsFirstNonEmptyValue) {
  const MuiTable table = EnglishTable();
  const auto& e = table.entries();
  EXPECT_EQ(e.size(), 7u);  // empty value and id-less element left out
  EXPECT_EQ(e.at(W("color")).english, W("&Color"));
  EXPECT_EQ(e.at(W("quote")).english, W("the \"One Push\" button"));
  EXPECT_EQ(e.at(W("lines")).english, W("a\r\nb\tc"));
  EXPECT_FALSE(e.contains(W("empty")));
}

struct LookupCase {
  const char* name;
  const char* translation;  // body of the translated document
  const char* text;
  const char* translated;  // by translate(); "" for none
  const char* windowText;  // by windowTranslation(); "" when the window keeps its text
};

class MuiTableLookup : public ::testing::TestWithParam<LookupCase> {};

TEST_P(MuiTableLookup, FindsTheEntryTheRulesName) {
  const auto& c = GetParam();
  MuiTable table = EnglishTable();
  ASSERT_TRUE(table.loadTranslation(MuiDoc(c.translation)));
  const WString* got = table.translate(W(c.text));
  EXPECT_EQ(got ? *got : WString(), W(c.translated)) << c.name;
  const WString* window = table.windowTranslation(W(c.text));
  EXPECT_EQ(window ? *window : WString(), W(c.windowText)) << c.name;
}

const LookupCase kLookupCases[] = {
    {"template accelerator matches the escaped value", R"(<str id="color" val="&amp;Farbe"/>)",
     "&Color", "&Farbe", "&Farbe"},
    {"shared English: first id in order with a translation",
     R"(<str id="bb" val="B"/><str id="zz" val="Z"/>)", "Shared", "B", ""},
    {"shared English: first id translated", R"(<str id="aa" val="A"/><str id="bb" val="B"/>)",
     "Shared", "A", "A"},
    {"unknown ids ignored", R"(<str id="nothere" val="X"/>)", "Only", "", ""},
    {"empty translation ignored", R"(<str id="only" val=""/>)", "Only", "", ""},
    {"backslash sequences unescaped", R"(<str id="lines" val="x\r\ny"/>)", "a\r\nb\tc", "x\r\ny",
     "x\r\ny"},
    {"exact match only", R"(<str id="only" val="Nur"/>)", "Only ", "", ""},
    {"later value of an id wins", R"(<str id="only" val="1"/><str id="only" val="2"/>)", "Only",
     "2", "2"},
};

INSTANTIATE_TEST_SUITE_P(Rows, MuiTableLookup, ::testing::ValuesIn(kLookupCases));

TEST(MuiTable, UnreadableTranslationChangesNothing) {
  MuiTable table = EnglishTable();
  const auto before = table.entries();
  EXPECT_FALSE(table.loadTranslation(Bytes("\xEF\xBB\xBF<mui><str id=\"only\" val=\"X\"/>")));
  EXPECT_EQ(table.entries().size(), before.size());
  EXPECT_EQ(table.translate(W("Only")), nullptr);
}

struct UnescapeCase {
  const char* in;
  const char* out;
};

class UnescapeMuiTextRows : public ::testing::TestWithParam<UnescapeCase> {};

TEST_P(UnescapeMuiTextRows, ReplacesTheThreeSequences) {
  EXPECT_EQ(UnescapeMuiText(W(GetParam().in)), W(GetParam().out));
}

INSTANTIATE_TEST_SUITE_P(Rows, UnescapeMuiTextRows,
                         ::testing::Values(UnescapeCase{R"(a\r\n\tb)", "a\r\n\tb"},
                                           UnescapeCase{R"(\\n)", "\\\n"},
                                           UnescapeCase{R"(\x\)", R"(\x\)"},
                                           UnescapeCase{R"(\r\r)", "\r\r"}, UnescapeCase{"", ""}));

}  // namespace
