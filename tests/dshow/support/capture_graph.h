// A capture graph as a host builds one (capture graph builder, sample grabber, null renderer, no
// clock), what its grabber saw, and the device enumerator's list, for the Wine graph tests.
#pragma once

#include <windows.h>

#include <dshow.h>
#include <qedit.h>

#include <mutex>
#include <string>
#include <vector>

#include "tests/dshow/support/comptr.h"

// What the grabber saw; called on the pin's streaming thread. Lives longer than the graph.
class FrameLog : public ISampleGrabberCB {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 2; }
  HRESULT STDMETHODCALLTYPE BufferCB(double, BYTE*, long) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SampleCB(double, IMediaSample* sample) override;

  // Forgets what was seen; frame number keep (1-based) will be copied.
  void reset(size_t keep = 0);
  bool reaches(size_t count, DWORD timeoutMs);
  size_t seen() { return locked(lengths_).size(); }
  std::vector<long> lengths() { return locked(lengths_); }
  std::vector<REFERENCE_TIME> starts() { return locked(starts_); }  // -1 for an untimed sample
  std::vector<REFERENCE_TIME> stops() { return locked(stops_); }
  std::vector<uint8_t> frame() { return locked(frame_); }

 private:
  template <class T>
  T locked(const T& member) {
    std::lock_guard<std::mutex> guard(lock_);
    return member;
  }
  std::mutex lock_;
  std::vector<long> lengths_;
  std::vector<REFERENCE_TIME> starts_;
  std::vector<REFERENCE_TIME> stops_;
  std::vector<uint8_t> frame_;
  size_t keepFrame_ = 0;
};

// Source -> RGB24 sample grabber -> null renderer. Each step gives S_OK, or the first step's
// result that did not.
struct CaptureGraph {
  // The graph and its builder, with source added.
  HRESULT begin(IBaseFilter* source);
  // The grabber reporting to log and the renderer, the pin of category (the builder's choice for
  // a preview) rendered through them, no clock.
  HRESULT render(FrameLog& log, const GUID& category = PIN_CATEGORY_CAPTURE);
  // The still pin rendered the same way into a second grabber and renderer; before Run.
  HRESULT renderStill(FrameLog& log);
  void release();

  ComPtr<IGraphBuilder> graph;
  ComPtr<ICaptureGraphBuilder2> builder;
  ComPtr<IBaseFilter> source, grabberFilter, renderer, stillGrabberFilter, stillRenderer;
  ComPtr<ISampleGrabber> grabber, stillGrabber;
  ComPtr<IMediaControl> control;
  ComPtr<IMediaEvent> events;
};

// The next event of code wanted within timeoutMs; its first parameter in param.
bool AwaitEvent(IMediaEvent* events, long wanted, LONG_PTR* param, DWORD timeoutMs);

// The class ids of the video input devices listed under friendlyName; none without an enumerator.
std::vector<std::wstring> ListedVideoInputs(const wchar_t* friendlyName);

// Whether this process runs as the host that shares one filter.
bool RunningAsFireCapture();
