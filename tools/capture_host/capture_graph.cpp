// A preview graph: the source's capture pin into a sample grabber and a null renderer, unpaced.
#include "tools/capture_host/capture_graph.h"

#include <algorithm>
#include <cstdlib>
#include <initializer_list>
#include <vector>

// In strmiids but not declared by mingw-w64's qedit.h.
extern "C" const CLSID CLSID_SampleGrabber;
extern "C" const CLSID CLSID_NullRenderer;

namespace {

bool Failed(HRESULT hr, const char* what, std::string* error) {
  if (SUCCEEDED(hr)) return false;
  *error = std::string(what) + ": " + HresultText(hr);
  return true;
}

template <typename T>
bool Create(const CLSID& clsid, REFIID iid, ComPtr<T>* object, const char* what,
            std::string* error) {
  return !Failed(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, object->outVoid()),
                 what, error);
}

std::string SizeText(LONG width, LONG height) {
  return std::to_string(width) + "x" + std::to_string(std::labs(height));
}

// What a graph event says about the end of the stream; empty for the events that do not end it.
std::string EndingReason(long code, LONG_PTR first) {
  const HRESULT hr = static_cast<HRESULT>(first);
  switch (code) {
    case EC_ERRORABORT:
      return "the stream was aborted (EC_ERRORABORT): " + HresultText(hr);
    case EC_STREAM_ERROR_STOPPED:
      return "the stream stopped on an error (EC_STREAM_ERROR_STOPPED): " + HresultText(hr);
    case EC_COMPLETE:
      return "the stream ended (EC_COMPLETE)";
    case EC_USERABORT:
      return "the stream was ended by the user (EC_USERABORT)";
    default:
      return {};
  }
}

}  // namespace

bool CaptureGraph::build(IBaseFilter* source, LONG width, LONG height, std::string* error) {
  if (!createFilters(source, error)) return false;
  if (Failed(builder_->FindPin(source, PINDIR_OUTPUT, &PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, TRUE,
                               0, pin_.out()),
             "the device has no free video capture pin", error)) {
    return false;
  }
  if (width && !selectSize(width, height, error)) return false;
  if (!connect(source, error)) return false;
  const VIDEOINFOHEADER* vih = preview_.connected.rgb24();
  if (width && vih &&
      (vih->bmiHeader.biWidth != width || std::labs(vih->bmiHeader.biHeight) != height)) {
    *error = "asked for " + SizeText(width, height) + " but the graph connected " +
             SizeText(vih->bmiHeader.biWidth, vih->bmiHeader.biHeight);
    return false;
  }
  return true;
}

bool CaptureGraph::createFilters(IBaseFilter* source, std::string* error) {
  if (!Create(CLSID_FilterGraph, IID_IGraphBuilder, &graph_, "no filter graph", error) ||
      !Create(CLSID_CaptureGraphBuilder2, IID_ICaptureGraphBuilder2, &builder_,
              "no capture graph builder", error)) {
    return false;
  }
  control_ = graph_.as<IMediaControl>(IID_IMediaControl);
  events_ = graph_.as<IMediaEvent>(IID_IMediaEvent);
  if (!control_ || !events_) {
    *error = "the filter graph lacks a control interface";
    return false;
  }
  return !Failed(builder_->SetFiltergraph(graph_.get()), "SetFiltergraph", error) &&
         !Failed(graph_->AddFilter(source, L"Source"), "adding the device", error) &&
         addBranch(&preview_, L"Grabber", error);
}

// A grabber that takes RGB24 only, and its null renderer, in the graph under name.
bool CaptureGraph::addBranch(Branch* branch, const wchar_t* name, std::string* error) {
  if (!Create(CLSID_SampleGrabber, IID_IBaseFilter, &branch->grabberFilter, "no sample grabber",
              error) ||
      !Create(CLSID_NullRenderer, IID_IBaseFilter, &branch->renderer, "no null renderer", error)) {
    return false;
  }
  branch->grabber = branch->grabberFilter.as<ISampleGrabber>(IID_ISampleGrabber);
  if (!branch->grabber) {
    *error = "the sample grabber has no ISampleGrabber";
    return false;
  }
  AM_MEDIA_TYPE wanted = {};
  wanted.majortype = MEDIATYPE_Video;
  wanted.subtype = MEDIASUBTYPE_RGB24;
  wanted.formattype = FORMAT_VideoInfo;
  const std::wstring rendererName = std::wstring(name) + L" renderer";
  return !Failed(branch->grabber->SetMediaType(&wanted), "the grabber refuses RGB24", error) &&
         !Failed(branch->grabber->SetOneShot(FALSE), "SetOneShot", error) &&
         !Failed(branch->grabber->SetBufferSamples(FALSE), "SetBufferSamples", error) &&
         !Failed(graph_->AddFilter(branch->grabberFilter.get(), name), "adding the grabber",
                 error) &&
         !Failed(graph_->AddFilter(branch->renderer.get(), rendererName.c_str()),
                 "adding the renderer", error);
}

// The RGB24 capability of that size, set as the pin's format before it connects.
bool CaptureGraph::selectSize(LONG width, LONG height, std::string* error) {
  ComPtr<IAMStreamConfig> config = pin_.as<IAMStreamConfig>(IID_IAMStreamConfig);
  if (!config) {
    *error = "the capture pin has no IAMStreamConfig to choose " + SizeText(width, height);
    return false;
  }
  int count = 0, capsBytes = 0;
  if (Failed(config->GetNumberOfCapabilities(&count, &capsBytes), "GetNumberOfCapabilities",
             error)) {
    return false;
  }
  std::vector<BYTE> caps(std::max<size_t>(capsBytes, sizeof(VIDEO_STREAM_CONFIG_CAPS)));
  std::string offered;
  for (int i = 0; i < count; ++i) {
    MediaTypePtr type;
    if (config->GetStreamCaps(i, &type.p, caps.data()) != S_OK) continue;
    const VIDEOINFOHEADER* vih = type.rgb24();
    if (!vih) continue;
    const BITMAPINFOHEADER& bmi = vih->bmiHeader;
    if (bmi.biWidth == width && std::labs(bmi.biHeight) == height) {
      return !Failed(config->SetFormat(type.p), ("SetFormat " + SizeText(width, height)).c_str(),
                     error);
    }
    offered += ' ';  // appended apart: gcc 12 warns falsely on " " + string
    offered += SizeText(bmi.biWidth, bmi.biHeight);
  }
  *error = "the device offers no RGB24 " + SizeText(width, height) +
           "; it offers:" + (offered.empty() ? " nothing" : offered);
  return false;
}

// Through the capture category, as hosts do: the builder may put a smart tee after the pin, whose
// paused state lets the graph run on a source that delivers only while running.
bool CaptureGraph::connect(IBaseFilter* source, std::string* error) {
  if (!renderBranch(source, PIN_CATEGORY_CAPTURE, &preview_, error)) return false;
  // No reference clock: each frame goes on as soon as it comes, at the source's own pace.
  ComPtr<IMediaFilter> timing = graph_.as<IMediaFilter>(IID_IMediaFilter);
  if (!timing) {
    *error = "the filter graph has no IMediaFilter";
    return false;
  }
  return !Failed(timing->SetSyncSource(nullptr), "SetSyncSource", error);
}

bool CaptureGraph::renderBranch(IBaseFilter* source, const GUID& category, Branch* branch,
                                std::string* error) {
  const bool still = category == PIN_CATEGORY_STILL;
  if (Failed(builder_->RenderStream(&category, &MEDIATYPE_Video, source,
                                    branch->grabberFilter.get(), branch->renderer.get()),
             still ? "the still pin does not connect to its grabber in RGB24"
                   : "the capture pin does not connect to the grabber in RGB24",
             error) ||
      Failed(branch->grabber->GetConnectedMediaType(&branch->connected.mt), "GetConnectedMediaType",
             error)) {
    return false;
  }
  if (!branch->connected.rgb24()) {
    *error = "the grabber connected something other than RGB24 with a VIDEOINFOHEADER";
    return false;
  }
  return true;
}

bool CaptureGraph::addStill(IBaseFilter* source, std::string* error) {
  ComPtr<IPin> pin;
  if (Failed(builder_->FindPin(source, PINDIR_OUTPUT, &PIN_CATEGORY_STILL, &MEDIATYPE_Video, TRUE,
                               0, pin.out()),
             "the device has no free still pin", error)) {
    return false;
  }
  return addBranch(&still_, L"Still grabber", error) &&
         renderBranch(source, PIN_CATEGORY_STILL, &still_, error);
}

bool CaptureGraph::triggerStill(IBaseFilter* source, std::string* error) {
  ComPtr<IAMVideoControl> video;
  if (Failed(source->QueryInterface(IID_IAMVideoControl, video.outVoid()),
             "the device has no IAMVideoControl to trigger a still", error)) {
    return false;
  }
  ComPtr<IPin> pin;
  LONG caps = 0;
  if (Failed(builder_->FindPin(source, PINDIR_OUTPUT, &PIN_CATEGORY_STILL, &MEDIATYPE_Video, FALSE,
                               0, pin.out()),
             "the still pin is gone", error) ||
      Failed(video->GetCaps(pin.get(), &caps), "IAMVideoControl::GetCaps", error)) {
    return false;
  }
  if (!(caps & VideoControlFlag_Trigger)) {
    *error = "the still pin cannot be triggered (its caps are " + std::to_string(caps) + ")";
    return false;
  }
  return !Failed(video->SetMode(pin.get(), VideoControlFlag_Trigger),
                 "IAMVideoControl::SetMode with the trigger", error);
}

bool CaptureGraph::run(ISampleGrabberCB* sink, ISampleGrabberCB* stillSink, std::string* error) {
  if (Failed(preview_.grabber->SetCallback(sink, 0), "SetCallback", error)) return false;
  if (still_.grabber && Failed(still_.grabber->SetCallback(stillSink, 0), "SetCallback", error)) {
    return false;
  }
  running_ = true;  // a run that failed half-way still needs its stop
  return !Failed(control_->Run(), "the graph does not run", error);
}

bool CaptureGraph::waitFor(HANDLE done, DWORD timeoutMs, std::string* error) {
  OAEVENT graphEvent = 0;
  if (Failed(events_->GetEventHandle(&graphEvent), "GetEventHandle", error)) return false;
  const HANDLE handles[2] = {done, reinterpret_cast<HANDLE>(graphEvent)};
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) {
      *error = "timed out after " + std::to_string(timeoutMs / 1000) + " s";
      return false;
    }
    const DWORD woke =
        WaitForMultipleObjects(2, handles, FALSE, static_cast<DWORD>(deadline - now));
    if (woke == WAIT_OBJECT_0) return true;
    if (woke == WAIT_OBJECT_0 + 1 && !readEvents(error)) return false;
    if (woke == WAIT_FAILED) {
      *error = "waiting for frames failed: " + HresultText(HRESULT_FROM_WIN32(GetLastError()));
      return false;
    }
  }
}

// False with the reason at the first event that ends the stream.
bool CaptureGraph::readEvents(std::string* error) {
  long code = 0;
  LONG_PTR first = 0, second = 0;
  while (events_->GetEvent(&code, &first, &second, 0) == S_OK) {
    const std::string reason = EndingReason(code, first);
    events_->FreeEventParams(code, first, second);
    if (!reason.empty()) {
      *error = reason;
      return false;
    }
  }
  return true;
}

void CaptureGraph::stop() {
  if (control_ && running_) control_->Stop();
  running_ = false;
  for (Branch* branch : {&preview_, &still_}) {
    if (branch->grabber) branch->grabber->SetCallback(nullptr, 0);
  }
}
