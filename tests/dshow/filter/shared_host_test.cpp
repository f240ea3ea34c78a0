// The host that shares one filter still gets an aggregated filter of its own, and never hands
// the aggregated one to a plain creation. Run once as built and once copied as FireCapture.exe.
#include <gtest/gtest.h>

#include <windows.h>
#include <dshow.h>

#include <atomic>

#include "dshow/base/dllentry.h"
#include "dshow/filter/cdcm.h"
#include "tests/dshow/filter/camera_double.h"
#include "tests/dshow/support/capture_graph.h"

namespace {

// An object that aggregates the filter: IUnknown is its own, every other interface the filter's.
class Outer : public IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (riid != IID_IUnknown) return inner ? inner->QueryInterface(riid, ppv) : E_NOINTERFACE;
    AddRef();
    *ppv = static_cast<IUnknown*>(this);
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }

  IUnknown* inner = nullptr;  // the filter's own IUnknown
  std::atomic<ULONG> refs{1};
};

HRESULT Create(IUnknown* outer, IUnknown** filter) {
  ComPtr<IClassFactory> factory;
  HRESULT hr = DllGetClassObject(CLSID_Zerithal, IID_IClassFactory, factory.outVoid());
  if (FAILED(hr)) return hr;
  return factory->CreateInstance(outer, IID_IUnknown, reinterpret_cast<void**>(filter));
}

// The object that the filter's IBaseFilter answers IUnknown for.
IUnknown* Identity(IUnknown* filter) {
  ComPtr<IBaseFilter> face;
  if (FAILED(filter->QueryInterface(IID_IBaseFilter, face.outVoid()))) return nullptr;
  return face.as<IUnknown>(IID_IUnknown).get();
}

TEST(SharedHost, AggregatedCreationGetsAFilterOfItsOwn) {
  struct Case {
    const char* name;
    bool plainBefore;  // a shared filter exists when the aggregated one is made
  } cases[] = {{"aggregated first", false}, {"plain first", true}};
  const bool shared = RunningAsFireCapture();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ComScope com;
    const LONG baseline = CUnknown::ObjectsActive();
    DoubleProvider provider({CameraSetup{}});
    ComPtr<IUnknown> before;
    if (c.plainBefore) {
      ASSERT_EQ(Create(nullptr, before.out()), S_OK);
    }
    Outer outer;
    ComPtr<IUnknown> inner;
    ASSERT_EQ(Create(&outer, inner.out()), S_OK);
    outer.inner = inner.get();
    ComPtr<IUnknown> after;
    ASSERT_EQ(Create(nullptr, after.out()), S_OK);

    EXPECT_EQ(Identity(inner.get()), &outer) << "the aggregated filter delegates to its outer";
    EXPECT_EQ(Identity(after.get()), after.get()) << "a plain creation is no aggregated filter";
    if (c.plainBefore) {
      EXPECT_EQ(before.get() == after.get(), shared);
    }
    const int plainFilters = shared ? 1 : (c.plainBefore ? 2 : 1);
    EXPECT_EQ(provider.log->alive.load(), 1 + plainFilters);

    outer.inner = nullptr;
    before.reset();
    after.reset();
    inner.reset();
    EXPECT_EQ(provider.log->alive.load(), 0);
    EXPECT_EQ(outer.refs.load(), 1u);
    EXPECT_EQ(CUnknown::ObjectsActive(), baseline);
  }
}

}  // namespace
