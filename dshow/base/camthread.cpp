// A worker thread driven by commands: one caller at a time sends one and waits for the reply.
#include "dshow/base/camthread.h"

#include <objbase.h>

#include "core/stream/wait_graph.h"
#include "dshow/base/cautolock.h"

CAMThread::CAMThread(HRESULT* phr) : m_EventSend(TRUE, phr), m_EventComplete(FALSE, phr) {}

CAMThread::~CAMThread() {
  Close();
}

BOOL CAMThread::Create() {
  CAutoLock lock(&m_AccessLock);
  if (m_hThread) return FALSE;
  m_EventSend.Reset();
  m_EventComplete.Reset();
  DWORD id = 0;
  m_hThread = CreateThread(nullptr, 0, InitialThreadProc, this, 0, &id);
  m_threadId = id;
  return m_hThread.load() != nullptr;
}

DWORD WINAPI CAMThread::InitialThreadProc(LPVOID self) {
  // Workers deliver to other COM objects, so they live in the multithreaded apartment.
  const HRESULT co = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  const DWORD result = static_cast<CAMThread*>(self)->ThreadProc();
  if (SUCCEEDED(co)) CoUninitialize();
  return result;
}

DWORD CAMThread::CallWorker(DWORD param) {
  return call(param, INFINITE);
}

DWORD CAMThread::CallWorkerWithin(DWORD param, DWORD timeoutMs) {
  return call(param, timeoutMs);
}

DWORD CAMThread::call(DWORD param, DWORD timeoutMs) {
  CAutoLock lock(&m_AccessLock);
  if (!m_hThread) return static_cast<DWORD>(E_FAIL);
  {
    CAutoLock request(&m_RequestLock);
    m_dwParam = param;
    m_bTaken = false;
    m_EventSend.Set();
  }
  HANDLE thread = m_hThread.load();
  DWORD waited = awaitWorker(thread, timeoutMs);
  if (waited == WAIT_TIMEOUT) {
    {
      CAutoLock request(&m_RequestLock);
      if (!m_bTaken) {
        m_EventSend.Reset();
        return kCallTimedOut;
      }
    }
    // Taken just now: the worker answers as soon as it has acted on the command.
    waited = awaitWorker(thread, INFINITE);
  }
  if (waited == WAIT_OBJECT_0) return m_dwReturnVal;
  m_EventSend.Reset();
  return static_cast<DWORD>(E_FAIL);
}

// The caller may hold the filter's state lock, and the worker may wait in a callback slot's set
// for a host call blocked on it (a camera start raises the host's callbacks on the worker): the
// table must see the caller waiting for the worker, so that such a set skips that call.
DWORD CAMThread::awaitWorker(HANDLE thread, DWORD timeoutMs) {
  const WaitGraph::Join join(GetCurrentThreadId(), {m_threadId.load()});
  // A worker that ends without replying must not leave the caller waiting for ever.
  HANDLE waits[2] = {m_EventComplete, thread};
  return WaitForMultipleObjects(2, waits, FALSE, timeoutMs);
}

void CAMThread::Close() {
  CAutoLock lock(&m_AccessLock);
  HANDLE thread = m_hThread.exchange(nullptr);
  if (!thread) return;
  {
    const WaitGraph::Join join(GetCurrentThreadId(), {m_threadId.load()});
    WaitForSingleObject(thread, INFINITE);
  }
  CloseHandle(thread);
}

BOOL CAMThread::ThreadExists() const {
  return m_hThread.load() != nullptr;
}

DWORD CAMThread::GetRequest() {
  for (;;) {
    // Waits for no thread in particular: a caller sets the request before it waits for the answer.
    m_EventSend.Wait();
    DWORD param = 0;
    if (CheckRequest(&param)) return param;  // else withdrawn between the wake and the take
  }
}

BOOL CAMThread::CheckRequest(DWORD* param) {
  CAutoLock request(&m_RequestLock);
  if (WaitForSingleObject(m_EventSend, 0) != WAIT_OBJECT_0) return FALSE;
  m_bTaken = true;
  if (param) *param = m_dwParam;
  return TRUE;
}

void CAMThread::Reply(DWORD result) {
  m_dwReturnVal = result;
  // Reset before completing, so that the caller's next command cannot be lost.
  m_EventSend.Reset();
  m_EventComplete.Set();
}
