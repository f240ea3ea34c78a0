// An owned Win32 event, auto-reset unless asked for manual reset.
#pragma once

#include <windows.h>

class CAMEvent {
 public:
  explicit CAMEvent(BOOL manualReset = FALSE, HRESULT* phr = nullptr);
  ~CAMEvent();
  CAMEvent(const CAMEvent&) = delete;
  CAMEvent& operator=(const CAMEvent&) = delete;

  operator HANDLE() const { return m_hEvent; }
  void Set() { SetEvent(m_hEvent); }
  void Reset() { ResetEvent(m_hEvent); }
  BOOL Wait(DWORD timeoutMs = INFINITE) const;
  // Signalled right now? (consumes the signal of an auto-reset event)
  BOOL Check() const { return Wait(0); }

 private:
  HANDLE m_hEvent;
};
