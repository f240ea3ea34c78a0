// A recursive lock on a Win32 critical section, as the camera's wait table sees it.
#pragma once

#include <windows.h>

#include "core/stream/wait_graph.h"

// The filter's state lock is held while a graph's pause waits for a pin's worker to start the
// camera, and the camera's start may wait in a callback slot's set for a host call: a thread
// blocked here waits for the holder, and the table sees that as an edge to it, so such a set
// skips the call of a host that waits for the lock.
class CCritSec {
 public:
  CCritSec() { InitializeCriticalSection(&m_cs); }
  ~CCritSec() { DeleteCriticalSection(&m_cs); }
  CCritSec(const CCritSec&) = delete;
  CCritSec& operator=(const CCritSec&) = delete;

  void Lock() {
    const uint32_t self = GetCurrentThreadId();
    if (!TryEnterCriticalSection(&m_cs)) {
      WaitGraph::Lock::blocking(this, self);
      EnterCriticalSection(&m_cs);
    }
    WaitGraph::Lock::taken(this, self);  // one hold each time, so a nested unlock drops one
  }
  void Unlock() {
    WaitGraph::Lock::releasing(this, GetCurrentThreadId());
    LeaveCriticalSection(&m_cs);
  }

 private:
  CRITICAL_SECTION m_cs;
};
