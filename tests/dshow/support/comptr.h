// The owning COM pointer and an apartment scope for the tests.
#pragma once

#include <windows.h>
#include <objbase.h>

#include "platform/com_ptr.h"

struct ComScope {
  HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  ~ComScope() {
    if (SUCCEEDED(hr)) CoUninitialize();
  }
};
