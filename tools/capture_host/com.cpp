// Media type holders and text helpers of the capture host.
#include "tools/capture_host/com.h"

#include <cstdio>

namespace {

const VIDEOINFOHEADER* Rgb24Header(const AM_MEDIA_TYPE& mt) {
  if (mt.majortype != MEDIATYPE_Video || mt.subtype != MEDIASUBTYPE_RGB24) return nullptr;
  if (mt.formattype != FORMAT_VideoInfo || !mt.pbFormat) return nullptr;
  if (mt.cbFormat < sizeof(VIDEOINFOHEADER)) return nullptr;
  return reinterpret_cast<const VIDEOINFOHEADER*>(mt.pbFormat);
}

void FreeContents(AM_MEDIA_TYPE& mt) {
  if (mt.cbFormat && mt.pbFormat) CoTaskMemFree(mt.pbFormat);
  mt.cbFormat = 0;
  mt.pbFormat = nullptr;
  if (mt.pUnk) mt.pUnk->Release();
  mt.pUnk = nullptr;
}

}  // namespace

void MediaType::clear() {
  FreeContents(mt);
}

const VIDEOINFOHEADER* MediaType::rgb24() const {
  return Rgb24Header(mt);
}

MediaTypePtr::~MediaTypePtr() {
  if (!p) return;
  FreeContents(*p);
  CoTaskMemFree(p);
}

const VIDEOINFOHEADER* MediaTypePtr::rgb24() const {
  return p ? Rgb24Header(*p) : nullptr;
}

std::string HresultText(HRESULT hr) {
  char code[16];
  std::snprintf(code, sizeof(code), "0x%08lX", static_cast<unsigned long>(hr));
  wchar_t* message = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
  std::wstring text(message ? message : L"", length);
  if (message) LocalFree(message);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L'.')) {
    text.pop_back();
  }
  return text.empty() ? code : std::string(code) + " (" + Utf8(text) + ")";
}

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(size > 0 ? size : 0), '\0');
  if (size > 0) {
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
  }
  return out;
}
