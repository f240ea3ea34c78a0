// Holds a CCritSec for the lifetime of a scope.
#pragma once

#include "dshow/base/ccritsec.h"

class CAutoLock {
 public:
  explicit CAutoLock(CCritSec* lock) : m_pLock(lock) { m_pLock->Lock(); }
  ~CAutoLock() { m_pLock->Unlock(); }
  CAutoLock(const CAutoLock&) = delete;
  CAutoLock& operator=(const CAutoLock&) = delete;

 private:
  CCritSec* m_pLock;
};
