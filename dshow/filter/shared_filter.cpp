// The one filter that a "FireCapture.exe" host shares between all its creations.
#include "dshow/filter/shared_filter.h"

#include <cwchar>

#include "dshow/base/cautolock.h"
#include "dshow/filter/cdcm.h"

namespace {

CDcm* g_shared = nullptr;  // guarded by SharedFilter::lock()

const WCHAR* fileNamePart(const WCHAR* path) {
  const WCHAR* name = path;
  for (const WCHAR* p = path; *p; ++p) {
    if (*p == L'\\' || *p == L'/' || *p == L':') name = p + 1;
  }
  return name;
}

bool hostIsSharing() {
  WCHAR path[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  return SharedFilter::isSharingHost(path);
}

}  // namespace

bool SharedFilter::isSharingHost(const WCHAR* executablePath) {
  return executablePath && wcscmp(fileNamePart(executablePath), L"FireCapture.exe") == 0;
}

bool SharedFilter::enabled() {
  static const bool sharing = hostIsSharing();
  return sharing;
}

CCritSec& SharedFilter::lock() {
  static CCritSec sharedLock;
  return sharedLock;
}

CDcm* SharedFilter::acquire() {
  CAutoLock guard(&lock());
  if (g_shared) g_shared->NonDelegatingAddRef();
  return g_shared;
}

void SharedFilter::remember(CDcm* filter) {
  CAutoLock guard(&lock());
  if (!g_shared) g_shared = filter;
}

void SharedFilter::forgetLocked(CDcm* filter) {
  if (g_shared == filter) g_shared = nullptr;
}
