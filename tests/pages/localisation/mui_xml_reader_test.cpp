// The table reader: what a document yields, and that damaged documents yield nothing.
#include <gtest/gtest.h>

#include <string>

#include "pages/localisation/mui_xml_reader.h"
#include "tests/pages/localisation/mui_test_util.h"

namespace {

const char kBom[] = "\xEF\xBB\xBF";

struct ReadCase {
  const char* name;
  std::string document;
  // id=val pairs joined by '|'; "-" for a refused document.
  const char* expected;
};

std::string Joined(const std::vector<MuiXmlEntry>& entries) {
  std::string out;
  for (const auto& e : entries) {
    if (!out.empty()) out += '|';
    out += platform::WideToUtf8(e.id) + "=" + platform::WideToUtf8(e.val);
  }
  return out;
}

std::string Doc(const std::string& body) {
  return std::string(kBom) + "<?xml version=\"1.0\" encoding=\"UTF-8\"?><mui>" + body + "</mui>";
}

class MuiXmlRead : public ::testing::TestWithParam<ReadCase> {};

TEST_P(MuiXmlRead, YieldsTheEntriesOrNothing) {
  const auto bytes = Bytes(GetParam().document);
  const auto read = ReadMuiXml(bytes);
  const std::string got = read ? Joined(*read) : "-";
  EXPECT_EQ(got, GetParam().expected) << GetParam().name;
}

const ReadCase kReadCases[] = {
    {"entities", Doc(R"(<str id="a" val="&amp;Color"/><str id="b" val="&quot;One Push&quot;"/>)"),
     "a=&Color|b=\"One Push\""},
    {"all five entities", Doc(R"(<str id="a" val="&lt;&gt;&apos;&amp;&quot;"/>)"), "a=<>'&\""},
    {"numeric references", Doc(R"(<str id="a" val="&#65;&#x42;&#x10348;&#xe9;"/>)"),
     "a=AB\xF0\x90\x8D\x88\xC3\xA9"},
    {"val before id", Doc(R"(<str val="Gain:" id="gain"/>)"), "gain=Gain:"},
    {"single quotes and spaces", Doc("<str  id = 'x'\n val='y \"z\"' />"), "x=y \"z\""},
    {"comments and text skipped", Doc("<!-- c -->text<str id=\"a\" val=\"1\"/><!---->"), "a=1"},
    {"element without id skipped", Doc(R"(<str val="v"/><str id="a" val="1"/>)"), "a=1"},
    {"missing val is empty", Doc(R"(<str id="a"/>)"), "a="},
    {"end tag and content", Doc(R"(<str id="a" val="1">x<b/></str>)"), "a=1"},
    {"nested ids not entries", Doc(R"(<g><str id="a" val="1"/></g>)"), ""},
    {"backslashes kept", Doc(R"(<str id="a" val="x\r\ny"/>)"), "a=x\\r\\ny"},
    {"literal newline becomes space", Doc("<str id=\"a\" val=\"x\r\ny\tz\"/>"), "a=x y z"},
    {"empty root", std::string(kBom) + "<mui/>", ""},
    {"no declaration", std::string(kBom) + "<mui><str id=\"a\" val=\"1\"/></mui>", "a=1"},
    {"lower-case encoding", std::string(kBom) + "<?xml version='1.0' encoding='utf-8'?><mui/>", ""},
    {"trailing comment", Doc("") + "\n<!-- end -->\n", ""},
    {"cdata in root", Doc("<![CDATA[<str id=\"a\"/>]]>"), ""},
    {"no BOM", "<?xml version=\"1.0\"?><mui><str id=\"a\" val=\"1\"/></mui>", "-"},
    {"other encoding", std::string(kBom) + "<?xml version=\"1.0\" encoding=\"UTF-16\"?><mui/>",
     "-"},
    {"other root", std::string(kBom) + "<strings><str id=\"a\" val=\"1\"/></strings>", "-"},
    {"two roots", Doc("") + "<mui/>", "-"},
    {"unclosed root", std::string(kBom) + "<mui><str id=\"a\" val=\"1\"/>", "-"},
    {"mismatched end tag", Doc("<str id=\"a\" val=\"1\"></string>"), "-"},
    {"unknown entity", Doc(R"(<str id="a" val="&nbsp;"/>)"), "-"},
    {"bare ampersand", Doc(R"(<str id="a" val="&Color"/>)"), "-"},
    {"reference to NUL", Doc(R"(<str id="a" val="&#0;"/>)"), "-"},
    {"reference to surrogate", Doc(R"(<str id="a" val="&#xD800;"/>)"), "-"},
    {"reference too large", Doc(R"(<str id="a" val="&#x110000;"/>)"), "-"},
    {"'<' in value", Doc(R"(<str id="a" val="a<b"/>)"), "-"},
    {"duplicate attribute", Doc(R"(<str id="a" id="b" val="1"/>)"), "-"},
    {"unquoted value", Doc("<str id=a val=\"1\"/>"), "-"},
    {"attributes run together", Doc(R"(<str id="a"val="1"/>)"), "-"},
    {"unterminated comment", Doc("<!-- c"), "-"},
    {"double hyphen in comment", Doc("<!-- a -- b -->"), "-"},
    {"doctype", std::string(kBom) + "<!DOCTYPE mui><mui/>", "-"},
    {"late declaration", Doc("<?xml version=\"1.0\"?>"), "-"},
    {"text after root", Doc("") + "x", "-"},
    {"overlong UTF-8", Doc("<str id=\"a\" val=\"\xC0\xAF\"/>"), "-"},
    {"encoded surrogate", Doc("<str id=\"a\" val=\"\xED\xA0\x80\"/>"), "-"},
    {"truncated sequence", Doc("<str id=\"a\" val=\"\xE3\x82\"/>"), "-"},
    {"stray continuation byte", Doc("<str id=\"a\" val=\"\x80\"/>"), "-"},
    {"control character", Doc("<str id=\"a\" val=\"\x01\"/>"), "-"},
    {"empty", "", "-"},
    {"BOM only", kBom, "-"},
};

INSTANTIATE_TEST_SUITE_P(Rows, MuiXmlRead, ::testing::ValuesIn(kReadCases));

TEST(MuiXmlRead, DeepNestingIsRefusedNotRecursed) {
  std::string body;
  for (int i = 0; i < 100000; ++i) body += "<a>";
  EXPECT_FALSE(ReadMuiXml(Bytes(Doc(body))));
}

}  // namespace
