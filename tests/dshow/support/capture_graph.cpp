// A capture graph as a host builds one, what its grabber saw, and the device enumerator's list.
#include "tests/dshow/support/capture_graph.h"

#include <cwchar>
#include <string>

// In strmiids, not declared by mingw-w64's qedit.h.
extern "C" const CLSID CLSID_SampleGrabber;
extern "C" const CLSID CLSID_NullRenderer;

HRESULT FrameLog::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  *object = (riid == IID_IUnknown || riid == IID_ISampleGrabberCB) ? this : nullptr;
  return *object ? S_OK : E_NOINTERFACE;
}

HRESULT FrameLog::SampleCB(double, IMediaSample* sample) {
  REFERENCE_TIME start = -1, stop = -1;
  if (FAILED(sample->GetTime(&start, &stop))) start = stop = -1;
  const long length = sample->GetActualDataLength();
  std::lock_guard<std::mutex> guard(lock_);
  lengths_.push_back(length);
  starts_.push_back(start);
  stops_.push_back(stop);
  BYTE* data = nullptr;
  if (lengths_.size() == keepFrame_ && SUCCEEDED(sample->GetPointer(&data))) {
    frame_.assign(data, data + length);
  }
  return S_OK;
}

void FrameLog::reset(size_t keep) {
  std::lock_guard<std::mutex> guard(lock_);
  lengths_.clear();
  starts_.clear();
  stops_.clear();
  frame_.clear();
  keepFrame_ = keep;
}

bool FrameLog::reaches(size_t count, DWORD timeoutMs) {
  for (const DWORD begin = GetTickCount(); GetTickCount() - begin < timeoutMs; Sleep(20)) {
    if (seen() >= count) return true;
  }
  return seen() >= count;
}

// The first step that does not give S_OK ends the build with its result.
#define ZX_STEP(call)              \
  do {                             \
    const HRESULT step = (call);   \
    if (step != S_OK) return step; \
  } while (0)

HRESULT CaptureGraph::begin(IBaseFilter* filter) {
  filter->AddRef();
  source = ComPtr<IBaseFilter>(filter);
  ZX_STEP(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                           graph.outVoid()));
  ZX_STEP(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER,
                           IID_ICaptureGraphBuilder2, builder.outVoid()));
  ZX_STEP(builder->SetFiltergraph(graph.get()));
  return graph->AddFilter(filter, L"Source");
}

namespace {

// One pin category of the source through an RGB24 grabber reporting to log into a null renderer.
HRESULT RenderCategory(CaptureGraph& g, const GUID& category, FrameLog& log,
                       ComPtr<IBaseFilter>& grabberFilter, ComPtr<IBaseFilter>& renderer,
                       ComPtr<ISampleGrabber>& grabber, const wchar_t* name) {
  ZX_STEP(CoCreateInstance(CLSID_SampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                           grabberFilter.outVoid()));
  ZX_STEP(CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                           renderer.outVoid()));
  ZX_STEP(grabberFilter->QueryInterface(IID_ISampleGrabber, grabber.outVoid()));
  AM_MEDIA_TYPE wanted = {};
  wanted.majortype = MEDIATYPE_Video;
  wanted.subtype = MEDIASUBTYPE_RGB24;
  ZX_STEP(grabber->SetMediaType(&wanted));
  ZX_STEP(grabber->SetBufferSamples(FALSE));
  ZX_STEP(grabber->SetCallback(&log, 0));
  ZX_STEP(g.graph->AddFilter(grabberFilter.get(), name));
  std::wstring rendererName = std::wstring(name) + L" renderer";
  ZX_STEP(g.graph->AddFilter(renderer.get(), rendererName.c_str()));
  return g.builder->RenderStream(&category, &MEDIATYPE_Video, g.source.get(), grabberFilter.get(),
                                 renderer.get());
}

}  // namespace

HRESULT CaptureGraph::renderStill(FrameLog& log) {
  return RenderCategory(*this, PIN_CATEGORY_STILL, log, stillGrabberFilter, stillRenderer,
                        stillGrabber, L"Still grabber");
}

HRESULT CaptureGraph::render(FrameLog& log, const GUID& category) {
  // A preview through a Smart Tee succeeds with VFW_S_NOPREVIEWPIN, which is returned at the end.
  const HRESULT rendered =
      RenderCategory(*this, category, log, grabberFilter, renderer, grabber, L"Grabber");
  if (FAILED(rendered)) return rendered;
  ComPtr<IMediaFilter> timing = graph.as<IMediaFilter>(IID_IMediaFilter);
  ZX_STEP(timing ? timing->SetSyncSource(nullptr) : E_NOINTERFACE);  // samples as they come
  ZX_STEP(graph->QueryInterface(IID_IMediaControl, control.outVoid()));
  ZX_STEP(graph->QueryInterface(IID_IMediaEvent, events.outVoid()));
  return rendered;
}

#undef ZX_STEP

void CaptureGraph::release() {
  if (control) control->Stop();
  if (grabber) grabber->SetCallback(nullptr, 0);
  if (stillGrabber) stillGrabber->SetCallback(nullptr, 0);
  events.reset();
  control.reset();
  grabber.reset();
  renderer.reset();
  grabberFilter.reset();
  stillGrabber.reset();
  stillRenderer.reset();
  stillGrabberFilter.reset();
  builder.reset();
  graph.reset();
  source.reset();
}

bool AwaitEvent(IMediaEvent* events, long wanted, LONG_PTR* param, DWORD timeoutMs) {
  for (const DWORD begin = GetTickCount(); GetTickCount() - begin < timeoutMs;) {
    long code = 0;
    LONG_PTR p1 = 0, p2 = 0;
    if (events->GetEvent(&code, &p1, &p2, 50) != S_OK) continue;
    events->FreeEventParams(code, p1, p2);
    if (code == wanted) {
      *param = p1;
      return true;
    }
  }
  return false;
}

namespace {

std::wstring ReadBag(IPropertyBag* bag, const wchar_t* name) {
  VARIANT value;
  VariantInit(&value);
  std::wstring text;
  if (SUCCEEDED(bag->Read(name, &value, nullptr)) && value.vt == VT_BSTR) text = value.bstrVal;
  VariantClear(&value);
  return text;
}

}  // namespace

std::vector<std::wstring> ListedVideoInputs(const wchar_t* friendlyName) {
  std::vector<std::wstring> found;
  ComPtr<ICreateDevEnum> devices;
  ComPtr<IEnumMoniker> monikers;
  CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                   devices.outVoid());
  // S_FALSE: the category is empty.
  if (!devices ||
      devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, monikers.out(), 0) != S_OK) {
    return found;
  }
  for (ComPtr<IMoniker> moniker; monikers->Next(1, moniker.out(), nullptr) == S_OK;) {
    ComPtr<IPropertyBag> bag;
    if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.outVoid()))) continue;
    if (ReadBag(bag.get(), L"FriendlyName") == friendlyName) {
      found.push_back(ReadBag(bag.get(), L"CLSID"));
    }
  }
  return found;
}

bool RunningAsFireCapture() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  const wchar_t* name = wcsrchr(path, L'\\');
  return wcscmp(name ? name + 1 : path, L"FireCapture.exe") == 0;
}
