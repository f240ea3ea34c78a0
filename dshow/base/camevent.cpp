// An owned Win32 event, auto-reset unless asked for manual reset.
#include "dshow/base/camevent.h"

CAMEvent::CAMEvent(BOOL manualReset, HRESULT* phr)
    : m_hEvent(CreateEventW(nullptr, manualReset, FALSE, nullptr)) {
  if (!m_hEvent && phr && SUCCEEDED(*phr)) *phr = HRESULT_FROM_WIN32(GetLastError());
}

CAMEvent::~CAMEvent() {
  if (m_hEvent) CloseHandle(m_hEvent);
}

BOOL CAMEvent::Wait(DWORD timeoutMs) const {
  return m_hEvent && WaitForSingleObject(m_hEvent, timeoutMs) == WAIT_OBJECT_0;
}
