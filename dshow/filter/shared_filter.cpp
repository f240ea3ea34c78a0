// The filters that a "FireCapture.exe" host shares between all its creations: one per camera.
#include "dshow/filter/shared_filter.h"

#include <cwchar>

#include "dshow/base/cautolock.h"
#include "dshow/filter/cdcm.h"

namespace {

CDcm* g_shared[kCameraIndexLimit] = {};  // by camera index, guarded by SharedFilter::lock()

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

CDcm* SharedFilter::acquire(uint32_t index) {
  if (index >= kCameraIndexLimit) return nullptr;
  CAutoLock guard(&lock());
  CDcm* shared = g_shared[index];
  if (shared) shared->NonDelegatingAddRef();
  return shared;
}

void SharedFilter::remember(CDcm* filter) {
  CAutoLock guard(&lock());
  CDcm*& slot = g_shared[filter->cameraIndex()];
  if (!slot) slot = filter;
}

void SharedFilter::forgetLocked(CDcm* filter) {
  CDcm*& slot = g_shared[filter->cameraIndex()];
  if (slot == filter) slot = nullptr;
}
