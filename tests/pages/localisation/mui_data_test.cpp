// The shipped string tables: all readable, complete, with formats and accelerators kept; damage
// to any of them loads nothing. Writes a side-by-side table of all languages for review.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "pages/localisation/mui_table.h"
#include "pages/localisation/mui_xml_reader.h"
#include "pages/localisation/printf_conversions.h"
#include "pages/page_texts.h"
#include "tests/pages/localisation/mui_test_util.h"

namespace {

constexpr const char* kCodes[] = {"CA", "DE", "EN", "ES", "FR", "HANS", "HANT", "HU", "ID",
                                  "IT", "JA", "KO", "MS", "PL", "RU",   "TH",   "TR", "UK"};

constexpr const char* kIds[] = {"exposure",
                                "color",
                                "misc",
                                "histogram",
                                "roi",
                                "size",
                                "pst",
                                "bitdepth",
                                "bits",
                                "cooling",
                                "ok",
                                "cancel",
                                "defaults",
                                "default",
                                "error",
                                "snap",
                                "capture",
                                "preview",
                                "live",
                                "snapcolon",
                                "colorand",
                                "grayand",
                                "name",
                                "index",
                                "export",
                                "import",
                                "fset",
                                "settings",
                                "settingsellipsis",
                                "neg",
                                "fs",
                                "autoexposure",
                                "target",
                                "exposuretimecolon",
                                "gain",
                                "exposuretime",
                                "range",
                                "exposuretimeempty",
                                "exposuretimeinvalid",
                                "exposuretimeoutofrange",
                                "exposuretarget",
                                "black",
                                "onepush",
                                "whitebalance",
                                "temperature",
                                "tint",
                                "hsb",
                                "hue",
                                "saturation",
                                "brightness",
                                "contrastgamma",
                                "contrast",
                                "gamma",
                                "moveroi",
                                "r",
                                "g",
                                "b",
                                "ac50",
                                "ac60",
                                "dc",
                                "horizontal",
                                "vertical",
                                "flip",
                                "colorimage",
                                "grayimage",
                                "framerate",
                                "powerfrequency",
                                "mode",
                                "low",
                                "high",
                                "sampling",
                                "bin",
                                "skip",
                                "movespeed",
                                "refresh",
                                "auto",
                                "level",
                                "blue",
                                "green",
                                "red",
                                "gray",
                                "left",
                                "right",
                                "save",
                                "load",
                                "overwrite",
                                "managementellipsis",
                                "management",
                                "rename",
                                "remove",
                                "exportellipsis",
                                "importellipsis",
                                "up",
                                "down",
                                "cg",
                                "on",
                                "off",
                                "fan",
                                "tec",
                                "ttemp",
                                "ctemp",
                                "coolp",
                                "inputo",
                                "inputv",
                                "pstgeneric",
                                "pstnullname",
                                "pstsamename",
                                "pstopenfile",
                                "pstfileformat",
                                "pstproduct",
                                "failedtoopen",
                                "failedtopreview",
                                "pullout",
                                "zoom",
                                "focus",
                                "iris",
                                "lows",
                                "highs",
                                "aepolicy",
                                "aemaxtm",
                                "aemaxga",
                                "aethold",
                                "aeexonl",
                                "aeexpre",
                                "aegaonl",
                                "aegapre"};
static_assert(std::size(kIds) == 126);

std::vector<uint8_t> ReadFile(const std::string& code) {
  std::ifstream in(std::string(ZX_MUI_DIR) + "/" + code + ".xml", std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// id -> unescaped value, as each table holds it (the English table is the reference).
using Texts = std::map<WString, WString>;

const std::map<std::string, Texts>& AllTables() {
  static const auto tables = [] {
    std::map<std::string, Texts> out;
    for (const char* code : kCodes) {
      MuiTable table;
      if (!table.loadEnglish(ReadFile(code))) continue;
      for (const auto& [id, entry] : table.entries()) out[code][id] = entry.english;
    }
    return out;
  }();
  return tables;
}

// Accelerators: each '&' not doubled (a doubled one shows one ampersand).
int Accelerators(WStringView text) {
  int n = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != u'&') continue;
    if (i + 1 < text.size() && text[i + 1] == u'&') {
      ++i;
    } else {
      ++n;
    }
  }
  return n;
}

TEST(MuiData, EveryTableReadsAndHoldsEveryIdNonEmpty) {
  for (const char* code : kCodes) {
    ASSERT_TRUE(AllTables().contains(code)) << code << " does not read";
    const Texts& texts = AllTables().at(code);
    for (const char* id : kIds) {
      const auto found = texts.find(W(id));
      EXPECT_TRUE(found != texts.end() && !found->second.empty()) << code << ": " << id;
    }
    EXPECT_EQ(texts.size(), std::size(kIds)) << code << " has ids English lacks";
  }
}

TEST(MuiData, TranslationsKeepConversionsInOrderAndTheAccelerator) {
  const Texts& english = AllTables().at("EN");
  for (const auto& [code, texts] : AllTables()) {
    for (const auto& [id, text] : texts) {
      const auto en = english.find(id);
      if (en == english.end()) continue;
      const std::string where = code + ": " + platform::WideToUtf8(id);
      const auto want = PrintfConversions(en->second);
      const auto got = PrintfConversions(text);
      ASSERT_TRUE(want.has_value()) << where;
      EXPECT_TRUE(got.has_value() && *got == *want) << where;
      EXPECT_EQ(std::count(text.begin(), text.end(), u'%'),
                std::count(en->second.begin(), en->second.end(), u'%'))
          << where;
      EXPECT_EQ(Accelerators(text), Accelerators(en->second)) << where;
      EXPECT_LE(Accelerators(text), 1) << where;
    }
  }
}

TEST(MuiData, EveryTextThePagesTranslateHasAnEnglishEntry) {
  const Texts& english = AllTables().at("EN");
  for (std::string_view text : kPageTexts) {
    const WString wanted = W(text);
    const bool found = std::any_of(english.begin(), english.end(),
                                   [&](const auto& e) { return e.second == wanted; });
    EXPECT_TRUE(found) << text;
  }
}

// Every prefix short of the closing tag and every single-byte change: the reader never reads
// past the buffer (an exactly sized copy, so the sanitizers see it), a cut table yields nothing,
// and a changed one yields nothing or all its elements (one may lose its id).
TEST(MuiData, TruncatedOrFlippedTablesLoadNothingPartial) {
  for (const char* code : kCodes) {
    const auto whole = ReadFile(code);
    const auto full = ReadMuiXml(whole);
    ASSERT_TRUE(full) << code;
    const std::string_view text(reinterpret_cast<const char*>(whole.data()), whole.size());
    const size_t complete = text.rfind("</mui>") + 6;
    for (size_t n = 0; n < whole.size(); ++n) {
      const std::vector<uint8_t> cut(whole.begin(), whole.begin() + n);
      const auto read = ReadMuiXml(cut);
      if (n < complete) {
        ASSERT_FALSE(read) << code << " cut at " << n;
      } else {
        ASSERT_TRUE(read && read->size() == full->size()) << code << " cut at " << n;
      }
    }
    std::vector<uint8_t> flipped = whole;
    // Low bit, case bit and high bit in turn, so each kind of change meets every construct.
    static constexpr uint8_t kMasks[] = {0x01, 0x20, 0x80};
    for (size_t i = 0; i < flipped.size(); ++i) {
      const uint8_t mask = kMasks[i % std::size(kMasks)];
      flipped[i] ^= mask;
      const auto read = ReadMuiXml(flipped);
      ASSERT_TRUE(!read || read->size() + 1 >= full->size()) << code << " byte " << i;
      flipped[i] ^= mask;
    }
  }
}

std::string HtmlEscaped(const WString& text) {
  std::string out;
  for (char c : platform::WideToUtf8(text)) {
    if (c == '&')
      out += "&amp;";
    else if (c == '<')
      out += "&lt;";
    else if (c == '\n')
      out += "<br>";
    else
      out += c;
  }
  return out;
}

// Not a check: the side-by-side table a reviewer reads (build tree, review/mui_side_by_side.html).
TEST(MuiData, WritesTheSideBySideTable) {
  std::filesystem::create_directories(ZX_REVIEW_DIR);
  std::ofstream out(std::string(ZX_REVIEW_DIR) + "/mui_side_by_side.html", std::ios::binary);
  out << "<!DOCTYPE html><meta charset=\"utf-8\"><title>String tables</title>"
         "<style>td,th{border:1px solid #ccc;padding:2px 4px;vertical-align:top;font:12px "
         "sans-serif}</style><table><tr><th>id</th><th>EN</th>";
  for (const char* code : kCodes)
    if (std::string_view(code) != "EN") out << "<th>" << code << "</th>";
  out << "</tr>\n";
  for (const char* id : kIds) {
    out << "<tr><td>" << id << "</td><td>" << HtmlEscaped(AllTables().at("EN").at(W(id)))
        << "</td>";
    for (const char* code : kCodes) {
      if (std::string_view(code) == "EN") continue;
      const auto& texts = AllTables().at(code);
      const auto found = texts.find(W(id));
      out << "<td>" << (found == texts.end() ? "" : HtmlEscaped(found->second)) << "</td>";
    }
    out << "</tr>\n";
  }
  out << "</table>\n";
  EXPECT_TRUE(out.good());
}

}  // namespace
