// A preview graph: the source's capture pin into a sample grabber and a null renderer, unpaced.
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
  const VIDEOINFOHEADER& format() const { return *connected_.rgb24(); }

  // Hands the frames to sink and runs the graph.
  bool run(ISampleGrabberCB* sink, std::string* error);
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

  ComPtr<IGraphBuilder> graph_;
  ComPtr<ICaptureGraphBuilder2> builder_;
  ComPtr<IBaseFilter> grabberFilter_;
  ComPtr<ISampleGrabber> grabber_;
  ComPtr<IBaseFilter> renderer_;
  ComPtr<IPin> pin_;
  ComPtr<IMediaControl> control_;
  ComPtr<IMediaEvent> events_;
  MediaType connected_;
  bool running_ = false;
};
