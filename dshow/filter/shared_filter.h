// The filters that a "FireCapture.exe" host shares between all its creations: one per camera.
#pragma once

#include <windows.h>

#include <cstdint>

#include "dshow/base/ccritsec.h"

class CDcm;

class SharedFilter {
 public:
  // Whether the host's executable is named exactly "FireCapture.exe"; decided once per process.
  static bool enabled();
  static bool isSharingHost(const WCHAR* executablePath);

  // The shared filter of camera index with one reference added under the lock, or null.
  static CDcm* acquire(uint32_t index);
  // filter becomes the shared one of its camera unless another is already.
  static void remember(CDcm* filter);

  // A filter's last reference goes under this lock, and the pointer is cleared in the same step,
  // so that acquire never hands out a filter that is being destroyed.
  static CCritSec& lock();  // holders only count and look up; in the wait table as any CCritSec
  static void forgetLocked(CDcm* filter);
};
