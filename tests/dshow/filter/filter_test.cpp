// The filter with a camera double: creation, pins, interfaces, state, the shared host filter.
#include <gtest/gtest.h>

#include <windows.h>
#include <dshow.h>

#include <atomic>
#include <thread>
#include <vector>

#include "dshow/base/cfactorytemplate.h"
#include "dshow/base/dllentry.h"
#include "dshow/filter/cdcm.h"
#include "dshow/filter/shared_filter.h"
#include "dshow/pins/cpushpindcm.h"
#include "dshow/pins/cstillpindcm.h"
#include "tests/dshow/filter/camera_double.h"
#include "tests/dshow/support/capture_graph.h"

// The test executable is its own COM server for the filter's class.
CFactoryTemplate g_Templates[] = {
    {kFilterName, &CLSID_Zerithal, CDcm::CreateInstance, nullptr, nullptr}};
int g_cTemplates = 1;

namespace {

HRESULT CreateThroughFactory(IUnknown** filter) {
  ComPtr<IClassFactory> factory;
  HRESULT hr = DllGetClassObject(CLSID_Zerithal, IID_IClassFactory, factory.outVoid());
  if (FAILED(hr)) return hr;
  return factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(filter));
}

class FilterTest : public ::testing::Test {
 protected:
  void TearDown() override {
    EXPECT_EQ(CUnknown::ObjectsActive(), baseline_);
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
  }
  ComScope com_;
  LONG baseline_ = CUnknown::ObjectsActive();
};

TEST_F(FilterTest, PinsFollowTheCamerasStillResolutions) {
  struct Case {
    uint32_t stills;
    int pins;
  } cases[] = {{0, 1}, {1, 2}, {2, 2}};
  for (const Case& c : cases) {
    CameraSetup setup;
    setup.stills = c.stills;
    DoubleProvider provider({setup});
    HRESULT hr = S_OK;
    auto* filter = new CDcm(0, &hr);
    filter->NonDelegatingAddRef();
    EXPECT_EQ(hr, S_OK);
    ASSERT_EQ(filter->GetPinCount(), c.pins) << c.stills;
    for (int i = 0; i < c.pins; ++i) {
      PIN_INFO info;
      filter->GetPin(i)->QueryPinInfo(&info);
      EXPECT_STREQ(info.achName, i == 0 ? L"Preview" : L"~Still");
      if (info.pFilter) info.pFilter->Release();
    }
    filter->NonDelegatingRelease();
    EXPECT_EQ(provider.log->alive.load(), 0) << "the filter deletes its camera";
  }
}

TEST_F(FilterTest, OpensTheIndexedCameraWithThePersistencePrefix) {
  DoubleProvider provider({CameraSetup{}, CameraSetup{}, CameraSetup{}});
  struct Case {
    UINT_PTR argument;
    HRESULT result;
    const wchar_t* id;
  } cases[] = {{0, S_OK, L"!0-1000"},
               {2, S_OK, L"!2-1002"},
               {3, E_UNEXPECTED, nullptr},
               {15, E_UNEXPECTED, nullptr}};
  for (const Case& c : cases) {
    provider.log->openedIds.clear();
    HRESULT hr = S_OK;
    auto* filter = new CDcm(c.argument, &hr);
    EXPECT_EQ(hr, c.result) << c.argument;
    if (c.id) {
      ASSERT_EQ(provider.log->openedIds.size(), 1u);
      EXPECT_EQ(provider.log->openedIds[0], c.id);
      EXPECT_EQ(filter->cameraIndex(), c.argument);
    } else {
      EXPECT_EQ(filter->GetPinCount(), 0);
    }
    delete filter;
  }
}

TEST_F(FilterTest, NoCameraFailsCreationAndLeavesNothingAlive) {
  DoubleProvider provider({});
  IUnknown* filter = reinterpret_cast<IUnknown*>(1);
  EXPECT_EQ(CreateThroughFactory(&filter), E_UNEXPECTED);
  EXPECT_EQ(filter, nullptr);
  EXPECT_EQ(CDcm::OpenForCaller(0), nullptr);
  EXPECT_EQ(CDcm::OpenForCaller(16), nullptr);
}

TEST_F(FilterTest, InterfacesStateAndFlags) {
  DoubleProvider provider({CameraSetup{}});
  ComPtr<IUnknown> unknown;
  ASSERT_EQ(CreateThroughFactory(unknown.out()), S_OK);
  struct Case {
    const IID* iid;
    bool handedOut;
  } cases[] = {{&IID_IBaseFilter, true},
               {&IID_ISpecifyPropertyPages, true},
               {&IID_IAMFilterMiscFlags, true},
               {&IID_ILumorixProcessFlag, false},
               {&IID_IAMStreamConfig, false}};
  for (const Case& c : cases) {
    ComPtr<IUnknown> face;
    EXPECT_EQ(SUCCEEDED(unknown->QueryInterface(*c.iid, face.outVoid())), c.handedOut);
  }
  ComPtr<IAMFilterMiscFlags> flags;
  ASSERT_EQ(unknown->QueryInterface(IID_IAMFilterMiscFlags, flags.outVoid()), S_OK);
  EXPECT_EQ(flags->GetMiscFlags(), 2u);

  ComPtr<IBaseFilter> filter;
  ASSERT_EQ(unknown->QueryInterface(IID_IBaseFilter, filter.outVoid()), S_OK);
  FILTER_STATE state;
  EXPECT_EQ(filter->GetState(0, nullptr), E_POINTER);
  EXPECT_EQ(filter->GetState(0, &state), S_OK);
  // Unconnected pins start no worker, so pausing and running need no downstream.
  ASSERT_EQ(filter->Pause(), S_OK);
  EXPECT_EQ(filter->GetState(0, &state), VFW_S_CANT_CUE);
  EXPECT_EQ(state, State_Paused);
  ASSERT_EQ(filter->Run(0), S_OK);
  EXPECT_EQ(filter->GetState(0, &state), S_OK);
  EXPECT_EQ(filter->Stop(), S_OK);

  ComPtr<ISpecifyPropertyPages> pages;
  ASSERT_EQ(unknown->QueryInterface(IID_ISpecifyPropertyPages, pages.outVoid()), S_OK);
  EXPECT_EQ(pages->GetPages(nullptr), E_POINTER);
  CAUUID list = {99, reinterpret_cast<GUID*>(1)};
  EXPECT_EQ(pages->GetPages(&list), S_OK);
  CoTaskMemFree(list.pElems);
}

TEST(SharedFilter, OnlyTheExactHostNameShares) {
  struct Case {
    const wchar_t* path;
    bool sharing;
  } cases[] = {{L"C:\\Programs\\FireCapture\\FireCapture.exe", true},
               {L"FireCapture.exe", true},
               {L"C:\\x\\firecapture.exe", false},
               {L"C:\\x\\FireCapture.exe.bak", false},
               {L"C:\\FireCapture.exe\\host.exe", false},
               {L"", false}};
  for (const Case& c : cases) EXPECT_EQ(SharedFilter::isSharingHost(c.path), c.sharing) << c.path;
}

// Run once as built and once copied as FireCapture.exe.
TEST_F(FilterTest, SharedHostGetsOneFilterForAllCreations) {
  DoubleProvider provider({CameraSetup{}});
  const bool shared = RunningAsFireCapture();
  EXPECT_EQ(SharedFilter::enabled(), shared);
  ComPtr<IUnknown> first;
  ComPtr<IUnknown> second;
  ASSERT_EQ(CreateThroughFactory(first.out()), S_OK);
  ASSERT_EQ(CreateThroughFactory(second.out()), S_OK);
  EXPECT_EQ(first.get() == second.get(), shared);
  IUnknown* third = CDcm::OpenForCaller(0);
  ASSERT_NE(third, nullptr);
  EXPECT_EQ(third == first.get(), shared);
  third->Release();
  EXPECT_EQ(provider.log->alive.load(), shared ? 1 : 2);
}

// Each camera has its own filter, shared by every opening in the sharing host; a camera that does
// not exist opens nothing, whatever is open already. Camera 1 is opened first, so a host that
// shared one filter for all cameras would hand it out for camera 0.
TEST_F(FilterTest, SharedHostSharesEachCamerasOwnFilter) {
  DoubleProvider provider({CameraSetup{}, CameraSetup{}});
  const bool shared = RunningAsFireCapture();
  struct Case {
    uint32_t index;
    bool opens;
  } cases[] = {{1, true}, {0, true}, {2, false}, {15, false}, {16, false}};
  std::vector<ComPtr<IUnknown>> held;
  IUnknown* first[2] = {};
  for (int round = 0; round < 2; ++round) {  // the second with the first round's filters held
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << "round " << round << " camera " << c.index);
      ComPtr<IUnknown> opened(CDcm::OpenForCaller(c.index));
      ASSERT_EQ(bool(opened), c.opens);
      if (!opened) continue;
      if (round == 0) first[c.index] = opened.get();
      EXPECT_EQ(opened.get() == first[c.index], round == 0 || shared);
      held.push_back(std::move(opened));
    }
  }
  EXPECT_NE(first[0], first[1]);
  EXPECT_EQ(provider.log->alive.load(), shared ? 2 : 4);
  ComPtr<IUnknown> created;
  ASSERT_EQ(CreateThroughFactory(created.out()), S_OK);
  EXPECT_EQ(created.get() == first[0], shared);
}

// Creations racing with the last release of the shared filter never get a dying one: a filter
// handed out while it is destroyed refuses every call, and the camera is there, so every
// creation and every interface must succeed.
TEST_F(FilterTest, CreationAndReleaseRaceSafely) {
  DoubleProvider provider({CameraSetup{}});
  std::atomic<int> refused{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&refused] {
      ComScope com;
      for (int i = 0; i < 600; ++i) {
        IUnknown* filter = nullptr;
        if (SUCCEEDED(CreateThroughFactory(&filter))) {
          ComPtr<IBaseFilter> face;
          if (FAILED(filter->QueryInterface(IID_IBaseFilter, face.outVoid()))) ++refused;
          filter->Release();
        } else {
          ++refused;
        }
        if (IUnknown* opened = CDcm::OpenForCaller(0)) {
          ComPtr<IBaseFilter> face;
          if (FAILED(opened->QueryInterface(IID_IBaseFilter, face.outVoid()))) ++refused;
          opened->Release();
        } else {
          ++refused;
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(refused.load(), 0);
  EXPECT_EQ(provider.log->alive.load(), 0);
}

}  // namespace
