// Our table reader against the system's XML DOM: both read the shipped tables to the same
// id/value pairs.
#include <gtest/gtest.h>
#include <windows.h>
#include <msxml2.h>
#include <shlwapi.h>

#include <string>
#include <vector>

#include "pages/localisation/mui_xml_reader.h"
#include "pages/mui_resources.h"

namespace {

// The version-independent DOM document and its second interface.
constexpr CLSID kClsidDomDocument = {
    0xF6D90F11, 0x9C73, 0x11D3, {0xB3, 0x2E, 0x00, 0xC0, 0x4F, 0x99, 0x0B, 0xB4}};
constexpr IID kIidDomDocument2 = {
    0x2933BF95, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

using Pairs = std::vector<std::pair<std::wstring, std::wstring>>;

std::wstring AttributeText(IXMLDOMNamedNodeMap* attributes, const wchar_t* name) {
  IXMLDOMNode* node = nullptr;
  BSTR nameText = SysAllocString(name);
  std::wstring out;
  if (attributes->getNamedItem(nameText, &node) == S_OK && node) {
    BSTR text = nullptr;
    if (SUCCEEDED(node->get_text(&text)) && text) out = text;
    SysFreeString(text);
    node->Release();
  }
  SysFreeString(nameText);
  return out;
}

bool HasAttribute(IXMLDOMNamedNodeMap* attributes, const wchar_t* name) {
  IXMLDOMNode* node = nullptr;
  BSTR nameText = SysAllocString(name);
  const bool found = attributes->getNamedItem(nameText, &node) == S_OK && node;
  if (node) node->Release();
  SysFreeString(nameText);
  return found;
}

// The system's reading: the children of the first "mui" node that have an id attribute.
bool ReadWithDom(std::span<const uint8_t> bytes, Pairs& out) {
  IXMLDOMDocument2* doc = nullptr;
  if (FAILED(CoCreateInstance(kClsidDomDocument, nullptr, CLSCTX_INPROC_SERVER, kIidDomDocument2,
                              reinterpret_cast<void**>(&doc))))
    return false;
  doc->put_async(VARIANT_FALSE);
  doc->put_validateOnParse(VARIANT_FALSE);
  doc->put_resolveExternals(VARIANT_FALSE);
  IStream* stream = SHCreateMemStream(bytes.data(), static_cast<UINT>(bytes.size()));
  VARIANT source;
  VariantInit(&source);
  source.vt = VT_UNKNOWN;
  source.punkVal = stream;
  VARIANT_BOOL ok = VARIANT_FALSE;
  bool read = stream && SUCCEEDED(doc->load(source, &ok)) && ok == VARIANT_TRUE;
  IXMLDOMNode* root = nullptr;
  BSTR query = SysAllocString(L"//mui");
  read = read && doc->selectSingleNode(query, &root) == S_OK && root;
  IXMLDOMNodeList* children = nullptr;
  if (read && SUCCEEDED(root->get_childNodes(&children))) {
    for (IXMLDOMNode* child = nullptr; children->nextNode(&child) == S_OK && child;) {
      IXMLDOMNamedNodeMap* attributes = nullptr;
      if (SUCCEEDED(child->get_attributes(&attributes)) && attributes) {
        if (HasAttribute(attributes, L"id"))
          out.emplace_back(AttributeText(attributes, L"id"), AttributeText(attributes, L"val"));
        attributes->Release();
      }
      child->Release();
    }
    children->Release();
  }
  SysFreeString(query);
  if (root) root->Release();
  if (stream) stream->Release();
  doc->Release();
  return read;
}

TEST(MuiMsxml, OurReaderAndTheDomAgreeOnEveryShippedTable) {
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  for (const char* code : {"CA", "DE", "EN", "ES", "FR", "HANS", "HANT", "HU", "ID", "IT", "JA",
                           "KO", "MS", "PL", "RU", "TH", "TR", "UK"}) {
    const auto bytes = LoadMuiResource(GetModuleHandleW(nullptr), code);
    ASSERT_FALSE(bytes.empty()) << code;
    Pairs dom;
    ASSERT_TRUE(ReadWithDom(bytes, dom)) << code;
    const auto ours = ReadMuiXml(bytes);
    ASSERT_TRUE(ours.has_value()) << code;
    ASSERT_EQ(ours->size(), dom.size()) << code;
    for (size_t i = 0; i < dom.size(); ++i) {
      EXPECT_EQ(std::wstring((*ours)[i].id), dom[i].first) << code;
      EXPECT_EQ(std::wstring((*ours)[i].val), dom[i].second) << code << " " << i;
    }
  }
  CoUninitialize();
}

}  // namespace
