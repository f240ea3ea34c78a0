// A preview graph: the source's capture pin into a sample grabber and a null renderer, unpaced;
// on request its still pin into a grabber of its own beside it.
#pragma once

#include <dshow.h>
#include <qedit.h>
#include <windows.h>

#include <string>

#include "tools/capture_host/com.h"

class CaptureGraph {
 public:
  CaptureGraph() = default;
  CaptureGraph(const CaptureGraph&) = delete;
  CaptureGraph& operator=(const CaptureGraph&) = delete;
  ~CaptureGraph() { stop(); }

  // Connects source to the grabber in RGB24; width 0 keeps the pin's own size.
  bool build(IBaseFilter* source, LONG width, LONG height, std::string* error);
  // The RGB24 format the grabber was connected with; valid after build.
  const VIDEOINFOHEADER& format() const { return *preview_.connected.rgb24(); }

  // Renders the still pin, at the size it offers first, into a second grabber; after build.
  bool addStill(IBaseFilter* source, std::string* error);
  // The RGB24 format of the still grabber; valid after addStill.
  const VIDEOINFOHEADER& stillFormat() const { return *still_.connected.rgb24(); }

  // Hands the frames to sink, the stills to stillSink when there is a still branch, and runs.
  bool run(ISampleGrabberCB* sink, ISampleGrabberCB* stillSink, std::string* error);
  // Asks the source for one still through IAMVideoControl; the graph runs.
  bool triggerStill(IBaseFilter* source, std::string* error);
  // Until done is set; false with the reason when the graph reports an error or the end of
  // the stream first, or timeoutMs passes.
  bool waitFor(HANDLE done, DWORD timeoutMs, std::string* error);
  // Stops the graph and takes the callback back; harmless when it is not running.
  void stop();

 private:
  bool createFilters(IBaseFilter* source, std::string* error);
  bool selectSize(LONG width, LONG height, std::string* error);
  bool connect(IBaseFilter* source, std::string* error);
  bool readEvents(std::string* error);

  // One pin category's grabber, its null renderer and the type they connected with.
  struct Branch {
    ComPtr<IBaseFilter> grabberFilter;
    ComPtr<ISampleGrabber> grabber;
    ComPtr<IBaseFilter> renderer;
    MediaType connected;
  };
  bool addBranch(Branch* branch, const wchar_t* name, std::string* error);
  bool renderBranch(IBaseFilter* source, const GUID& category, Branch* branch, std::string* error);

  ComPtr<IGraphBuilder> graph_;
  ComPtr<ICaptureGraphBuilder2> builder_;
  Branch preview_;
  Branch still_;
  ComPtr<IPin> pin_;
  ComPtr<IMediaControl> control_;
  ComPtr<IMediaEvent> events_;
  bool running_ = false;
};
