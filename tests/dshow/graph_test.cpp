// The test source filter in wine's own DirectShow: regsvr32, the device enumerator, a capture
// graph.
#include <gtest/gtest.h>

#include <windows.h>
#include <dshow.h>
#include <qedit.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "tests/dshow/support/comptr.h"
#include "tests/dshow/testsource/testsource.h"
#include "tests/wine/regsvr32.h"

// In strmiids but not declared by mingw-w64's qedit.h.
extern "C" const CLSID CLSID_SampleGrabber;
extern "C" const CLSID CLSID_NullRenderer;

namespace {

const wchar_t kModule[] = L"zx_testsource.dll";

struct Entry {
  std::wstring friendlyName;
  std::wstring clsid;
};

std::wstring ReadBag(IPropertyBag* bag, const wchar_t* name) {
  VARIANT value;
  VariantInit(&value);
  std::wstring text;
  if (SUCCEEDED(bag->Read(name, &value, nullptr)) && value.vt == VT_BSTR) text = value.bstrVal;
  VariantClear(&value);
  return text;
}

// The video input devices the system device enumerator lists under our friendly name.
std::vector<Entry> ListedTestSources() {
  std::vector<Entry> found;
  ComPtr<ICreateDevEnum> devices;
  if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                              IID_ICreateDevEnum, devices.outVoid()))) {
    ADD_FAILURE() << "no system device enumerator";
    return found;
  }
  ComPtr<IEnumMoniker> monikers;
  if (devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, monikers.out(), 0) != S_OK) {
    return found;  // S_FALSE: the category is empty
  }
  for (;;) {
    ComPtr<IMoniker> moniker;
    if (monikers->Next(1, moniker.out(), nullptr) != S_OK) break;
    ComPtr<IPropertyBag> bag;
    if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.outVoid()))) continue;
    Entry entry{ReadBag(bag.get(), L"FriendlyName"), ReadBag(bag.get(), L"CLSID")};
    if (entry.friendlyName == kTestSourceName) found.push_back(entry);
  }
  return found;
}

class GrabberCounter : public ISampleGrabberCB {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (riid == IID_IUnknown || riid == IID_ISampleGrabberCB) {
      *ppv = static_cast<ISampleGrabberCB*>(this);
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE SampleCB(double, IMediaSample* sample) override {
    REFERENCE_TIME start = 0, stop = 0;
    const bool timed = SUCCEEDED(sample->GetTime(&start, &stop));
    std::lock_guard<std::mutex> guard(lock);
    if (samples.size() < 30) {
      samples.push_back({sample->GetActualDataLength(), timed ? start : -1});
      if (samples.size() == 30) SetEvent(done);
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE BufferCB(double, BYTE*, long) override { return S_OK; }

  struct Seen {
    long length;
    REFERENCE_TIME start;
  };
  std::mutex lock;
  std::vector<Seen> samples;
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ~GrabberCounter() { CloseHandle(done); }
};

class WineGraphTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_EQ(RunRegsvr32(BesideExecutable(kModule), false), 0) << "regsvr32 failed";
  }
  static void TearDownTestSuite() { RunRegsvr32(BesideExecutable(kModule), true); }
  ComScope com_;
};

TEST_F(WineGraphTest, DeviceEnumeratorListsTheSourceOnce) {
  ASSERT_EQ(RunRegsvr32(BesideExecutable(kModule), false), 0);  // a second registration
  const std::vector<Entry> listed = ListedTestSources();
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].clsid, L"{6C1F3B52-1E0A-4C6B-9D3E-2A7B40C8E911}");
}

TEST_F(WineGraphTest, CaptureGraphStreamsThirtySamples) {
  ComPtr<IGraphBuilder> graph;
  ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                             graph.outVoid()),
            S_OK);
  ComPtr<ICaptureGraphBuilder2> builder;
  ASSERT_EQ(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER,
                             IID_ICaptureGraphBuilder2, builder.outVoid()),
            S_OK);
  ASSERT_EQ(builder->SetFiltergraph(graph.get()), S_OK);

  ComPtr<IBaseFilter> source, grabberFilter, renderer;
  // Through COM and the registry, as a host creates it.
  ASSERT_EQ(CoCreateInstance(CLSID_ZxTestSource, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                             source.outVoid()),
            S_OK);
  ASSERT_EQ(CoCreateInstance(CLSID_SampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                             grabberFilter.outVoid()),
            S_OK);
  ASSERT_EQ(CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                             renderer.outVoid()),
            S_OK);
  ASSERT_EQ(graph->AddFilter(source.get(), L"Source"), S_OK);
  ASSERT_EQ(graph->AddFilter(grabberFilter.get(), L"Grabber"), S_OK);
  ASSERT_EQ(graph->AddFilter(renderer.get(), L"Null"), S_OK);

  GrabberCounter counter;
  {
    ComPtr<ISampleGrabber> grabber;
    ASSERT_EQ(grabberFilter->QueryInterface(IID_ISampleGrabber, grabber.outVoid()), S_OK);
    AM_MEDIA_TYPE wanted = {};
    wanted.majortype = MEDIATYPE_Video;
    wanted.subtype = MEDIASUBTYPE_RGB24;
    ASSERT_EQ(grabber->SetMediaType(&wanted), S_OK);
    ASSERT_EQ(grabber->SetOneShot(FALSE), S_OK);
    ASSERT_EQ(grabber->SetBufferSamples(FALSE), S_OK);
    ASSERT_EQ(grabber->SetCallback(&counter, 0), S_OK);
  }
  ASSERT_EQ(builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, source.get(),
                                  grabberFilter.get(), renderer.get()),
            S_OK);
  {
    ComPtr<IMediaFilter> timing;
    ASSERT_EQ(graph->QueryInterface(IID_IMediaFilter, timing.outVoid()), S_OK);
    ASSERT_EQ(timing->SetSyncSource(nullptr), S_OK);  // as fast as the source delivers
  }
  ComPtr<IMediaControl> control;
  ASSERT_EQ(graph->QueryInterface(IID_IMediaControl, control.outVoid()), S_OK);
  ASSERT_TRUE(SUCCEEDED(control->Run()));
  const DWORD waited = WaitForSingleObject(counter.done, 10000);
  EXPECT_EQ(control->Stop(), S_OK);
  ASSERT_EQ(waited, WAIT_OBJECT_0) << "only " << counter.samples.size() << " samples arrived";

  const long imageSize = kTestWidth * kTestHeight * 3;
  for (size_t i = 0; i < counter.samples.size(); ++i) {
    EXPECT_EQ(counter.samples[i].length, imageSize) << "sample " << i;
    if (i > 0) {
      EXPECT_GT(counter.samples[i].start, counter.samples[i - 1].start) << "sample " << i;
    }
  }
  printf(
      "[graph] the test source streamed %zu samples of %ld bytes through wine's filter graph "
      "(capture graph builder, sample grabber, null renderer), times %lld..%lld\n",
      counter.samples.size(), imageSize, static_cast<long long>(counter.samples.front().start),
      static_cast<long long>(counter.samples.back().start));

  // Tearing the graph down releases every object of the module.
  control.reset();
  builder.reset();
  graph.reset();
  source.reset();
  grabberFilter.reset();
  renderer.reset();
  HMODULE module = GetModuleHandleW(kModule);
  ASSERT_NE(module, nullptr);
  auto canUnload = reinterpret_cast<HRESULT(WINAPI*)()>(
      reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
  ASSERT_NE(canUnload, nullptr);
  EXPECT_EQ(canUnload(), S_OK);
}

// Last: the suite's own tear-down unregisters again, which must be harmless.
TEST_F(WineGraphTest, UnregisterRemovesTheEntry) {
  ASSERT_EQ(ListedTestSources().size(), 1u);
  ASSERT_EQ(RunRegsvr32(BesideExecutable(kModule), true), 0);
  EXPECT_TRUE(ListedTestSources().empty());
  HKEY key = nullptr;
  EXPECT_NE(RegOpenKeyExW(HKEY_CLASSES_ROOT, L"CLSID\\{6C1F3B52-1E0A-4C6B-9D3E-2A7B40C8E911}", 0,
                          KEY_READ, &key),
            ERROR_SUCCESS);
  if (key) RegCloseKey(key);
}

}  // namespace
