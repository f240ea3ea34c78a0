// A worker thread driven by commands: one caller at a time sends one and waits for the reply.
#pragma once

#include <windows.h>

#include <atomic>

#include "dshow/base/camevent.h"
#include "dshow/base/ccritsec.h"

class CAMThread {
 public:
  explicit CAMThread(HRESULT* phr = nullptr);
  virtual ~CAMThread();  // joins the thread; its owner must have told it to exit
  CAMThread(const CAMThread&) = delete;
  CAMThread& operator=(const CAMThread&) = delete;

  // Starts the thread; FALSE when one exists already or it cannot be created.
  BOOL Create();
  // Sends a command and waits for the reply; E_FAIL without a thread or when it ends unanswered.
  DWORD CallWorker(DWORD param);
  // As CallWorker, but a request the worker has not taken within timeoutMs is withdrawn, so a
  // worker busy elsewhere never acts on it late; that case answers kCallTimedOut.
  DWORD CallWorkerWithin(DWORD param, DWORD timeoutMs);
  static constexpr DWORD kCallTimedOut = static_cast<DWORD>(HRESULT_FROM_WIN32(ERROR_TIMEOUT));
  // Waits for the thread to end and closes its handle; harmless when there is none.
  void Close();
  BOOL ThreadExists() const;

  // Worker side.
  DWORD GetRequest();
  BOOL CheckRequest(DWORD* param);
  void Reply(DWORD result);
  DWORD GetRequestParam() const { return m_dwParam; }
  // Signalled from a command's arrival until its reply: manual-reset, so a wait-any on it
  // elsewhere (a camera's cancel wait) never swallows a command meant for the worker.
  HANDLE GetRequestHandle() const { return m_EventSend; }

 protected:
  virtual DWORD ThreadProc() = 0;

  CCritSec m_AccessLock;  // one caller at a time; held across its wait for the worker
  CCritSec m_WorkerLock;  // for the worker's own state, at the derived class's choice

 private:
  static DWORD WINAPI InitialThreadProc(LPVOID self);
  DWORD call(DWORD param, DWORD timeoutMs);
  // Waits for the answer or the thread's end, as a join of the worker in the wait table.
  DWORD awaitWorker(HANDLE thread, DWORD timeoutMs);

  CAMEvent m_EventSend;
  CAMEvent m_EventComplete;
  DWORD m_dwParam = 0;
  DWORD m_dwReturnVal = 0;
  // Taking a request and withdrawing it exclude each other: a request is either acted on and
  // answered, or gone before the worker saw it.
  CCritSec m_RequestLock;
  bool m_bTaken = false;
  std::atomic<HANDLE> m_hThread{nullptr};
  std::atomic<DWORD> m_threadId{0};  // the worker's, for the wait table
};
