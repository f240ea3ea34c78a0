// An output stream of a CSource whose worker thread fills and delivers samples while running.
#include "dshow/base/csourcestream.h"

#include <evcode.h>

#include "dshow/base/cautolock.h"
#include "dshow/base/csource.h"

CSourceStream::CSourceStream(const WCHAR* objectName, HRESULT* phr, CSource* filter,
                             const WCHAR* pinName)
    : CAMThread(phr),
      CBaseOutputPin(objectName, filter, filter->pStateLock(), phr, pinName),
      m_pFilter(filter) {
  const HRESULT hr = filter->AddPin(this);
  if (FAILED(hr) && phr) *phr = hr;
}

CSourceStream::~CSourceStream() {
  // The filter stops its pins before it goes; this only keeps a forgotten worker from
  // outliving the pin.
  ShutdownWorker();
  m_pFilter->RemovePin(this);
}

void CSourceStream::ShutdownWorker() {
  if (!ThreadExists()) return;
  StopWorker();
  Exit();
  Close();
}

HRESULT CSourceStream::Active() {
  CAutoLock lock(m_pFilter->pStateLock());
  if (!IsConnected()) return S_OK;
  if (ThreadExists()) return E_UNEXPECTED;
  HRESULT hr = CBaseOutputPin::Active();
  if (FAILED(hr)) return hr;
  if (!Create()) {
    CBaseOutputPin::Inactive();
    return E_FAIL;
  }
  hr = Init();
  if (FAILED(hr)) {
    // The worker answered CMD_INIT with the failure and is ending: join it, keep nothing.
    Close();
    CBaseOutputPin::Inactive();
    return hr;
  }
  return Pause();
}

HRESULT CSourceStream::Inactive() {
  CAutoLock lock(m_pFilter->pStateLock());
  if (!IsConnected()) return S_OK;
  // Decommitting first wakes a worker that waits for a free buffer.
  const HRESULT hr = CBaseOutputPin::Inactive();
  ShutdownWorker();
  return hr;
}

HRESULT CSourceStream::Pause() {
  return static_cast<HRESULT>(CallWorker(CMD_PAUSE));
}

HRESULT CSourceStream::Run(REFERENCE_TIME /*start*/) {
  return static_cast<HRESULT>(CallWorker(CMD_RUN));
}

HRESULT CSourceStream::CheckMediaType(const CMediaType* mt) {
  if (!mt) return E_POINTER;
  CMediaType offered;
  for (int i = 0; GetMediaType(i, &offered) == S_OK; ++i) {
    if (offered == *mt) return S_OK;
  }
  return VFW_E_TYPE_NOT_ACCEPTED;
}

DWORD CSourceStream::ThreadProc() {
  DWORD command;
  while ((command = GetRequest()) != CMD_INIT) Reply(static_cast<DWORD>(E_UNEXPECTED));

  const HRESULT created = OnThreadCreate();
  if (FAILED(created)) {
    OnThreadDestroy();
    Reply(static_cast<DWORD>(created));
    return 1;
  }
  m_streamEnded = false;
  Reply(S_OK);

  for (;;) {
    command = GetRequest();
    switch (command) {
      case CMD_EXIT:
        OnThreadDestroy();
        Reply(S_OK);
        return 0;
      case CMD_RUN:
        Reply(S_OK);
        if (RunWithheld()) break;
        // Returns with the next command still pending; S_OK when the stream ended, after which a
        // run (a hold's release, a pause and run of the graph) must not deliver again.
        if (!m_streamEnded && DoBufferProcessingLoop() == S_OK) m_streamEnded = true;
        break;
      case CMD_PAUSE:
      case CMD_STOP:
        Reply(S_OK);
        break;
      default:
        Reply(static_cast<DWORD>(E_UNEXPECTED));
        break;
    }
  }
}

HRESULT CSourceStream::DoBufferProcessingLoop() {
  OnThreadStartPlay();
  bool paused = false;
  for (;;) {
    DWORD command;
    if (paused) {
      // A paused stream delivers nothing until the next command is taken; a request withdrawn
      // before the take does not count.
      command = GetRequest();
      paused = false;
    } else if (!CheckRequest(&command)) {
      if (fillAndDeliverOne()) continue;
      return S_OK;
    }
    switch (command) {
      case CMD_RUN:
        Reply(S_OK);
        paused = RunWithheld();
        break;
      case CMD_PAUSE:
        Reply(S_OK);
        paused = true;
        break;
      case CMD_STOP:
      case CMD_EXIT:
        return S_FALSE;
      default:
        Reply(static_cast<DWORD>(E_UNEXPECTED));
        break;
    }
  }
}

// True goes on delivering; false waits for the next command (downstream refused, or the stream
// ended).
bool CSourceStream::fillAndDeliverOne() {
  IMediaSample* sample = nullptr;
  // Downstream's free buffer, waited for holding nothing: a stop decommits it before its join.
  if (FAILED(GetDeliveryBuffer(&sample, nullptr, nullptr, 0)) || !sample) {
    // Waits for no thread, holding nothing: the loop looks for a command before it asks again.
    Sleep(1);
    return true;
  }
  HRESULT hr = FillBuffer(sample);
  if (hr == S_OK) {
    hr = Deliver(sample);  // holding nothing: a hold's pause gives up on it after a bound
    sample->Release();
    return hr == S_OK;
  }
  sample->Release();
  if (hr == S_FALSE && !FalseFillEndsStream()) return true;
  DeliverEndOfStream();
  if (FAILED(hr)) m_pFilter->NotifyEvent(EC_ERRORABORT, hr, 0);
  return false;
}
