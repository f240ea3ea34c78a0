// An output stream of a CSource whose worker thread fills and delivers samples while running.
#pragma once

#include <windows.h>

#include <atomic>

#include "dshow/base/camthread.h"
#include "dshow/base/cbaseoutputpin.h"

class CSource;

class CSourceStream : public CAMThread, public CBaseOutputPin {
 public:
  enum Command : DWORD { CMD_INIT, CMD_PAUSE, CMD_RUN, CMD_STOP, CMD_EXIT };

  // Registers the stream with its filter, which deletes it.
  CSourceStream(const WCHAR* objectName, HRESULT* phr, CSource* filter, const WCHAR* pinName);
  ~CSourceStream() override;

  // Stopped -> paused starts the worker, which waits; running lets it fill and deliver.
  HRESULT Active() override;
  HRESULT Inactive() override;
  HRESULT Run(REFERENCE_TIME start) override;
  // Holds a delivering worker until the next command (CMD_RUN goes on); fails without a worker.
  HRESULT Pause();

  // Whether this worker's stream ended (end of stream went downstream): it delivers nothing more
  // until the next Active starts a new worker.
  bool StreamEnded() const { return m_streamEnded; }

  // Types come from GetMediaType(position); a type is accepted when it is one of them.
  HRESULT CheckMediaType(const CMediaType* mt) override;
  HRESULT GetMediaType(int position, CMediaType* mt) override = 0;

 protected:
  // S_OK delivers the sample, S_FALSE ends the stream (unless FalseFillEndsStream says no), a
  // failure ends it and aborts the graph.
  virtual HRESULT FillBuffer(IMediaSample* sample) = 0;
  // Whether S_FALSE from FillBuffer ends the stream; a live source whose fill may find no frame
  // yet answers false, and the sample is dropped and the loop goes on.
  virtual bool FalseFillEndsStream() const { return true; }
  virtual HRESULT OnThreadCreate() { return S_OK; }
  virtual HRESULT OnThreadDestroy() { return S_OK; }
  virtual HRESULT OnThreadStartPlay() { return S_OK; }
  // Asked on the worker as it takes a run: true keeps it paused, the run owed until whoever holds
  // the stream lets it go.
  virtual bool RunWithheld() { return false; }
  DWORD ThreadProc() override;

  HRESULT Init() { return static_cast<HRESULT>(CallWorker(CMD_INIT)); }
  HRESULT Exit() { return static_cast<HRESULT>(CallWorker(CMD_EXIT)); }
  HRESULT StopWorker() { return static_cast<HRESULT>(CallWorker(CMD_STOP)); }
  // Ends the worker, if there is one, and joins it.
  void ShutdownWorker();

  CSource* m_pFilter;

 private:
  // Fills and delivers until a command arrives (S_FALSE) or the stream ends (S_OK); leaves CMD_STOP
  // and CMD_EXIT unanswered. Not virtual: a stream changes what a fill means through the hooks
  // above, never the loop.
  HRESULT DoBufferProcessingLoop();
  bool fillAndDeliverOne();

  std::atomic<bool> m_streamEnded{false};
};
