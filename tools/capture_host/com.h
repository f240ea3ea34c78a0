// Owning COM pointer, media type and handle holders for the capture host.
#pragma once

#include <dshow.h>
#include <windows.h>

#include <string>
#include <utility>

#include "platform/com_ptr.h"

// A media type whose format block and object the holder frees.
struct MediaType {
  AM_MEDIA_TYPE mt = {};
  MediaType() = default;
  MediaType(const MediaType&) = delete;
  MediaType& operator=(const MediaType&) = delete;
  ~MediaType() { clear(); }
  void clear();
  // The RGB24 video header, or null for any other type.
  const VIDEOINFOHEADER* rgb24() const;
};

// A media type allocated by the callee (IAMStreamConfig, IEnumMediaTypes).
struct MediaTypePtr {
  AM_MEDIA_TYPE* p = nullptr;
  MediaTypePtr() = default;
  MediaTypePtr(const MediaTypePtr&) = delete;
  MediaTypePtr& operator=(const MediaTypePtr&) = delete;
  ~MediaTypePtr();
  // As MediaType::rgb24 for the type held.
  const VIDEOINFOHEADER* rgb24() const;
};

class Handle {
 public:
  explicit Handle(HANDLE h = nullptr) : h_(h) {}
  ~Handle() {
    if (h_) CloseHandle(h_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return h_; }

 private:
  HANDLE h_;
};

struct ComScope {
  HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  ~ComScope() {
    if (SUCCEEDED(hr)) CoUninitialize();
  }
};

// The code in hex, with the system's text for it in brackets when it has one.
std::string HresultText(HRESULT hr);
// UTF-8 for the console.
std::string Utf8(const std::wstring& text);
