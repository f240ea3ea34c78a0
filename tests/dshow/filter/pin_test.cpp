// The pins with a camera double: formats, stream configuration, allocators, and streaming in
// wine's filter graph.
#include <gtest/gtest.h>

#include <windows.h>
#include <dshow.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "core/lumorix_options.h"
#include "dshow/filter/cdcm.h"
#include "dshow/pins/cpushpindcm.h"
#include "dshow/pins/cstillpindcm.h"
#include "tests/dshow/filter/camera_double.h"
#include "tests/dshow/support/capture_graph.h"
#include "tests/dshow/support/testsink.h"

namespace {

struct TypeHolder {
  AM_MEDIA_TYPE* mt = nullptr;
  ~TypeHolder() {
    if (!mt) return;
    CoTaskMemFree(mt->pbFormat);
    CoTaskMemFree(mt);
  }
  const VIDEOINFOHEADER& vih() const { return *reinterpret_cast<VIDEOINFOHEADER*>(mt->pbFormat); }
};

class PinTest : public ::testing::Test {
 protected:
  void make(CameraSetup setup) {
    provider_ = std::make_unique<DoubleProvider>(std::vector<CameraSetup>{setup});
    HRESULT hr = S_OK;
    filter_ = new CDcm(0, &hr);
    filter_->NonDelegatingAddRef();
    ASSERT_EQ(hr, S_OK);
    for (auto& sink : sinks_) {
      sink = new TestSinkFilter(&hr);
      sink->NonDelegatingAddRef();
    }
  }
  void TearDown() override {
    if (graph_) control()->Stop();
    graph_.reset();
    if (filter_) {
      filter_->Stop();
      for (int i = 0; i < filter_->GetPinCount(); ++i) filter_->GetPin(i)->Disconnect();
      for (auto* sink : sinks_) sink->Pin()->Disconnect();
      filter_->NonDelegatingRelease();
      for (auto* sink : sinks_) sink->NonDelegatingRelease();
      filter_ = nullptr;  // a table's next row makes its own
    }
    if (provider_) {
      EXPECT_EQ(provider_->log->alive.load(), 0);
    }
    provider_.reset();
    EXPECT_EQ(CUnknown::ObjectsActive(), baseline_);
  }

  CDcmPinBase* preview() { return filter_->previewPin(); }
  CDcmPinBase* still() { return filter_->stillPin(); }
  TestSinkPin* sink(int i = 0) { return sinks_[i]->Pin(); }
  CameraLog& log() { return *provider_->log; }

  // Both filters in wine's graph; pins connected directly.
  void inGraph(bool connectStill = false, bool connectPreview = true) {
    ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                               graph_.outVoid()),
              S_OK);
    graph_->AddFilter(filter_, L"Zerithal");
    graph_->AddFilter(sinks_[0], L"Sink");
    if (connectPreview) {
      ASSERT_EQ(graph_->ConnectDirect(preview(), sink(0), nullptr), S_OK);
    }
    if (connectStill) {
      graph_->AddFilter(sinks_[1], L"StillSink");
      ASSERT_EQ(graph_->ConnectDirect(still(), sink(1), nullptr), S_OK);
    }
  }
  ComPtr<IMediaControl> control() { return graph_.as<IMediaControl>(IID_IMediaControl); }
  bool awaitEvent(long wanted, LONG_PTR* param, DWORD timeoutMs) {
    return AwaitEvent(graph_.as<IMediaEvent>(IID_IMediaEvent).get(), wanted, param, timeoutMs);
  }
  bool samplesReach(int count) {
    for (int i = 0; i < 400 && sink()->samples.load() < count; ++i) Sleep(10);
    return sink()->samples.load() >= count;
  }

  ComScope com_;
  LONG baseline_ = CUnknown::ObjectsActive();
  std::unique_ptr<DoubleProvider> provider_;
  CDcm* filter_ = nullptr;
  TestSinkFilter* sinks_[2] = {};
  ComPtr<IGraphBuilder> graph_;
};

// Stream caps give real frame intervals; types list every resolution until the format is fixed.
// The numbers themselves are MediaNumbers' tables; here the pin hands them the right size and rate.
TEST_F(PinTest, MediaTypesListEveryResolutionUntilTheFormatIsFixed) {
  make({});
  CMediaType mt;
  ASSERT_EQ(preview()->GetMediaType(0, &mt), S_OK);
  const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(mt.Format());
  EXPECT_EQ(mt.FormatLength(), 88u);
  EXPECT_EQ(vih->bmiHeader.biWidth, 640);
  EXPECT_EQ(vih->bmiHeader.biHeight, 480);
  EXPECT_EQ(vih->AvgTimePerFrame, 333333);
  EXPECT_EQ(preview()->GetMediaType(1, &mt), S_OK);
  EXPECT_EQ(preview()->GetMediaType(2, &mt), VFW_S_NO_MORE_ITEMS);
  EXPECT_EQ(preview()->GetMediaType(-1, &mt), E_INVALIDARG);
  int count = 0;
  int size = 0;
  EXPECT_EQ(preview()->GetNumberOfCapabilities(&count, &size), S_OK);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(size, 128);
  TypeHolder type;
  VIDEO_STREAM_CONFIG_CAPS caps = {};
  ASSERT_EQ(preview()->GetStreamCaps(0, &type.mt, reinterpret_cast<BYTE*>(&caps)), S_OK);
  EXPECT_EQ(caps.guid, FORMAT_VideoInfo);
  EXPECT_EQ(caps.InputSize.cx, 640);
  EXPECT_EQ(caps.MinOutputSize.cy, 480);
  EXPECT_EQ(caps.MinFrameInterval, type.vih().AvgTimePerFrame);
  EXPECT_EQ(caps.MinBitsPerSecond, 921600 * 8);
  EXPECT_EQ(preview()->GetStreamCaps(2, nullptr, nullptr), S_FALSE);
  EXPECT_EQ(preview()->GetStreamCaps(-1, nullptr, nullptr), E_INVALIDARG);

  TypeHolder small;
  ASSERT_EQ(preview()->GetStreamCaps(1, &small.mt, nullptr), S_OK);
  ASSERT_EQ(preview()->SetFormat(small.mt), S_OK);
  EXPECT_EQ(provider_->last->previewIndex.load(), 1u);
  ASSERT_EQ(preview()->GetMediaType(0, &mt), S_OK);
  EXPECT_EQ(reinterpret_cast<const VIDEOINFOHEADER*>(mt.Format())->bmiHeader.biWidth, 320);
  EXPECT_EQ(preview()->GetMediaType(1, &mt), VFW_S_NO_MORE_ITEMS);
}

TEST_F(PinTest, CheckAndSetMediaTypeAndFormat) {
  make({});
  CMediaType mt;
  ASSERT_EQ(preview()->GetMediaType(0, &mt), S_OK);
  auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(mt.Format());
  EXPECT_EQ(preview()->CheckMediaType(&mt), S_OK);
  vih->bmiHeader.biHeight = -480;  // top-down rows of the right size
  EXPECT_EQ(preview()->CheckMediaType(&mt), S_OK);
  EXPECT_EQ(preview()->SetMediaType(&mt), E_INVALIDARG);
  vih->bmiHeader.biHeight = 240;
  EXPECT_EQ(preview()->CheckMediaType(&mt), E_INVALIDARG);
  CMediaType shortBlock(mt);
  shortBlock.SetFormat(mt.Format(), 40);  // a header cut short is never read
  EXPECT_EQ(preview()->CheckMediaType(&shortBlock), E_INVALIDARG);
  EXPECT_EQ(preview()->SetMediaType(&shortBlock), E_UNEXPECTED);
  // SetFormat refuses what is no resolution of the camera, and leaves the format free.
  TypeHolder type;
  ASSERT_EQ(preview()->GetFormat(&type.mt), S_OK);
  EXPECT_EQ(preview()->SetFormat(nullptr), E_POINTER);
  type.mt->subtype = MEDIASUBTYPE_RGB32;
  EXPECT_EQ(preview()->SetFormat(type.mt), E_INVALIDARG);
  type.mt->subtype = MEDIASUBTYPE_RGB24;
  reinterpret_cast<VIDEOINFOHEADER*>(type.mt->pbFormat)->bmiHeader.biWidth = 641;
  EXPECT_EQ(preview()->SetFormat(type.mt), E_INVALIDARG);
  EXPECT_FALSE(filter_->previewFormatFixed.load());
}

enum class PinState { Unconnected, Connected, Running };

TEST_F(PinTest, SetFormatByStateAndSize) {
  struct Case {
    PinState state;
    uint32_t index;
    bool refuse;
    HRESULT result;
    bool fixed;
  } cases[] = {
      {PinState::Unconnected, 0, false, S_OK, true},
      {PinState::Unconnected, 1, false, S_OK, true},
      {PinState::Unconnected, 1, true, E_UNEXPECTED, false},  // camera refuses: not fixed
      {PinState::Connected, 0, false, S_OK, true},
      {PinState::Connected, 1, false, VFW_E_ALREADY_CONNECTED, false},
      {PinState::Running, 0, false, VFW_E_WRONG_STATE, false},
      {PinState::Running, 1, false, VFW_E_WRONG_STATE, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.state) << " index " << c.index);
    make({.refuseSelect = c.refuse});
    TypeHolder wanted;
    ASSERT_EQ(preview()->GetStreamCaps(int(c.index), &wanted.mt, nullptr), S_OK);
    if (c.state != PinState::Unconnected) inGraph();
    if (c.state == PinState::Running) {
      ASSERT_EQ(control()->Run(), S_OK);
    }
    EXPECT_EQ(preview()->SetFormat(wanted.mt), c.result);
    EXPECT_EQ(filter_->previewFormatFixed.load(), c.fixed);
    if (c.refuse) {  // SetMediaType reports the refusal too; the current size needs no selection
      CMediaType mt;
      ASSERT_EQ(preview()->GetMediaType(1, &mt), S_OK);
      EXPECT_EQ(preview()->SetMediaType(&mt), E_UNEXPECTED);
      ASSERT_EQ(preview()->GetMediaType(0, &mt), S_OK);
      EXPECT_EQ(preview()->SetMediaType(&mt), S_OK);
    }
    TearDown();
  }
}

TEST_F(PinTest, PinCategoryThroughKsPropertySet) {
  make({.stills = 1});
  struct Case {
    CDcmPinBase* pin;
    const GUID* set;
    DWORD id;
    bool data, returned;
    DWORD length;
    HRESULT result;
    const GUID* category;
  } cases[] = {
      {preview(), &AMPROPSETID_Pin, 0, true, true, 16, S_OK, &PIN_CATEGORY_CAPTURE},
      {still(), &AMPROPSETID_Pin, 0, true, false, 16, S_OK, &PIN_CATEGORY_STILL},
      {preview(), &AMPROPSETID_Pin, 0, false, true, 0, S_OK, nullptr},
      {preview(), &AMPROPSETID_Pin, 0, false, false, 16, E_POINTER, nullptr},
      {preview(), &AMPROPSETID_Pin, 0, true, true, 15, E_UNEXPECTED, nullptr},
      {preview(), &AMPROPSETID_Pin, 1, true, true, 16, E_PROP_ID_UNSUPPORTED, nullptr},
      {preview(), &PIN_CATEGORY_CAPTURE, 0, true, true, 16, E_PROP_SET_UNSUPPORTED, nullptr},
  };
  for (const Case& c : cases) {
    GUID data = GUID_NULL;
    DWORD returned = 0;
    EXPECT_EQ(c.pin->Get(*c.set, c.id, nullptr, 0, c.data ? &data : nullptr, c.length,
                         c.returned ? &returned : nullptr),
              c.result);
    if (c.category) {
      EXPECT_EQ(data, *c.category);
    }
    if (c.returned && c.result == S_OK) {
      EXPECT_EQ(returned, 16u);
    }
  }
  DWORD support = 0;
  EXPECT_EQ(preview()->QuerySupported(AMPROPSETID_Pin, 0, &support), S_OK);
  EXPECT_EQ(support, DWORD{KSPROPERTY_SUPPORT_GET});
  EXPECT_EQ(preview()->Set(AMPROPSETID_Pin, 0, nullptr, 0, nullptr, 0), E_NOTIMPL);
}

TEST_F(PinTest, AllocatorOutcomes) {
  struct Case {
    bool stillPin;
    TestSinkPin::Allocator mode;
    bool connects;
    long buffers;
  } cases[] = {
      {false, TestSinkPin::Allocator::Own, true, 3},
      {true, TestSinkPin::Allocator::Own, true, 1},
      {false, TestSinkPin::Allocator::SmallerBuffers, false, 0},
      {false, TestSinkPin::Allocator::FewerBuffers, true, 3},
      {false, TestSinkPin::Allocator::NoBuffers, false, 0},
      {true, TestSinkPin::Allocator::SmallerBuffers, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.stillPin << " mode " << int(c.mode));
    make({.stills = 1});
    CDcmPinBase* pin = c.stillPin ? still() : preview();
    sink()->allocatorMode = c.mode;
    const HRESULT hr = pin->Connect(sink(), nullptr);
    EXPECT_EQ(SUCCEEDED(hr), c.connects) << std::hex << hr;
    if (c.connects) {
      ComPtr<IMemAllocator> allocator;
      ASSERT_EQ(CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER,
                                 IID_IMemAllocator, allocator.outVoid()),
                S_OK);
      ALLOCATOR_PROPERTIES request = {};
      request.cbAlign = 1;
      EXPECT_EQ(pin->DecideBufferSize(allocator.get(), &request), S_OK);
      EXPECT_EQ(request.cBuffers, c.buffers);
      EXPECT_EQ(request.cbBuffer, 921600);
    }
    TearDown();
  }
}

TEST_F(PinTest, TwoRunningPinsStartTheCameraOnceAndStopItOnce) {
  make({.stills = 1});
  inGraph(true);
  for (int round = 1; round <= 2; ++round) {
    ASSERT_EQ(control()->Run(), S_OK);
    ASSERT_TRUE(samplesReach(round * 10));
    EXPECT_EQ(log().starts.load(), round);
    ASSERT_EQ(control()->Stop(), S_OK);
    EXPECT_EQ(log().stops.load(), round);
  }
  EXPECT_EQ(sink()->lastLength.load(), 921600);
  EXPECT_EQ(log().largestPullSize.load(), 921600u);
  std::lock_guard<std::mutex> guard(sink()->timesLock);
  const auto& times = sink()->startTimes;
  EXPECT_EQ(times.front(), 0);
  for (size_t i = 1; i < times.size(); ++i) {
    if (times[i] == 0) continue;  // the restart begins at 0 again
    EXPECT_GE(times[i], times[i - 1]);
  }
}

// Host 2 runs the exposure callback from its own call into the camera and, inside it, reads the
// preview's format under the state lock; host 1 pauses the filter (or stops it), holding that
// lock while its worker's camera start (or stop) raises the callback, which registers it again.
struct ExposureRing {
  static constexpr DWORD kBoundMs = 10000;
  CDcm* filter;
  bool ring;  // else host 1's pause alone
  bool stop;  // host 1 stops instead
  std::atomic<DWORD> host2{0};
  HANDLE host2In = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE startIn = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::atomic<HRESULT> changed{E_PENDING}, formatRead{E_PENDING}, registered{E_PENDING};
  ~ExposureRing() {
    CloseHandle(host2In);
    CloseHandle(startIn);
  }

  static void onExposure(void* self) {
    auto& r = *static_cast<ExposureRing*>(self);
    if (GetCurrentThreadId() != r.host2) {
      SetEvent(r.startIn);
      r.registered = r.filter->put_ExpoCallback(&onExposure, self);
      return;
    }
    SetEvent(r.host2In);
    WaitForSingleObject(r.startIn, kBoundMs);
    TypeHolder type;
    r.formatRead = r.filter->previewPin()->GetFormat(&type.mt);
  }
  // Empty once every thread has returned, else which of them hung where.
  std::string hung() const {
    const std::string host1 =
        stop ? "host 1's Stop, closing the worker" : "host 1's Pause, waiting for the worker";
    if (!ring) return changed == E_PENDING ? host1 : "";
    std::string what;
    if (registered == E_PENDING)
      what += std::string("the worker's put_ExpoCallback in its camera ") +
              (stop ? "stop; " : "start; ");
    if (formatRead == E_PENDING) what += "host 2's GetFormat in its exposure callback; ";
    if (changed == E_PENDING) what += host1 + "; ";
    return what.substr(0, what.empty() ? 0 : what.size() - 2);
  }
};

// The worker starts the camera while the filter's pause holds the state lock and waits for it. A
// failed start fails the pause and leaves no thread. A stop holds the lock while it closes the
// worker, which stops the camera. A set on the worker must not wait for a host call that waits for
// the lock: the process ends, naming the threads, if any hangs.
TEST_F(PinTest, AStartFailureFailsActivationAndLeavesNoThread) {
  struct Case {
    HRESULT start;
    bool ring;  // the start's exposure callback registers again beside host 2's call
    bool stop;  // host 1 stops the paused filter instead, and the camera's stop raises it
    HRESULT result;
  } const cases[] = {
      {E_ACCESSDENIED, false, false, E_FAIL}, {S_OK, true, false, S_OK}, {S_OK, true, true, S_OK}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stop ? "exposure ring at stop" : c.ring ? "exposure ring" : "start fails");
    make({.startResult = c.start, .exposureAtStart = c.ring && !c.stop, .exposureAtStop = c.stop});
    ASSERT_EQ(preview()->Connect(sink(), nullptr), S_OK);
    if (c.stop) {
      ASSERT_EQ(filter_->Pause(), S_OK);
    }
    ExposureRing ring{filter_, c.ring, c.stop};
    std::thread host2;
    if (c.ring) {
      ASSERT_EQ(filter_->put_ExpoCallback(&ExposureRing::onExposure, &ring), S_OK);
      host2 = std::thread([&] {
        ring.host2 = GetCurrentThreadId();
        provider_->last->raiseExposure();
      });
      WaitForSingleObject(ring.host2In, ExposureRing::kBoundMs);
    }
    std::thread host1([&] { ring.changed = c.stop ? filter_->Stop() : filter_->Pause(); });
    for (DWORD waited = 0; !ring.hung().empty() && waited < ExposureRing::kBoundMs; waited += 10)
      Sleep(10);
    if (!ring.hung().empty()) {  // the threads hold the filter: nothing can go on
      std::fprintf(stderr, "FAILED: hung: %s\n", ring.hung().c_str());
      std::fflush(stderr);
      TerminateProcess(GetCurrentProcess(), 3);
    }
    host1.join();
    if (host2.joinable()) host2.join();
    EXPECT_EQ(ring.changed.load(), c.result);
    EXPECT_EQ(preview()->ThreadExists(), c.result == S_OK && !c.stop);
    EXPECT_EQ(log().starts.load(), 1);
    if (c.ring) {
      EXPECT_EQ(ring.formatRead.load(), S_OK);
      EXPECT_EQ(ring.registered.load(), S_OK);
      filter_->put_ExpoCallback(nullptr, nullptr);
    }
    TearDown();
  }
}

// Two filters opened on one device: while the first streams, the second's start is refused with
// ERROR_BUSY and the first goes on; once the first stops, the second streams.
TEST_F(PinTest, ASecondFilterOnAStreamingDeviceIsRefusedAndTheFirstGoesOn) {
  make({});
  HRESULT hr = S_OK;
  CDcm* second = new CDcm(0, &hr);
  second->NonDelegatingAddRef();
  ASSERT_EQ(hr, S_OK);
  ASSERT_EQ(preview()->Connect(sink(0), nullptr), S_OK);
  ASSERT_EQ(second->previewPin()->Connect(sink(1), nullptr), S_OK);
  ASSERT_EQ(filter_->Run(0), S_OK);
  ASSERT_TRUE(samplesReach(3));
  EXPECT_EQ(second->Run(0), static_cast<HRESULT>(0x800700AA));
  EXPECT_FALSE(second->previewPin()->ThreadExists());
  const int seen = sink(0)->samples.load();
  EXPECT_TRUE(samplesReach(seen + 3)) << "the first filter goes on";
  EXPECT_EQ(second->Stop(), S_OK);
  EXPECT_EQ(filter_->Stop(), S_OK);
  ASSERT_EQ(second->Run(0), S_OK);
  for (int i = 0; i < 400 && sink(1)->samples.load() < 3; ++i) Sleep(10);
  EXPECT_GE(sink(1)->samples.load(), 3);
  EXPECT_EQ(second->Stop(), S_OK);
  second->previewPin()->Disconnect();
  sink(1)->Disconnect();
  second->NonDelegatingRelease();
}

// A pull that finds no frame only skips the sample; a failing one ends the stream and aborts.
TEST_F(PinTest, PullResultsEndTheStreamOnlyOnFailure) {
  struct Case {
    HRESULT pull;
    uint32_t frameBytes;
    bool aborts;
  } cases[] = {
      {E_ACCESSDENIED, 0, true},
      // A frame larger than the connected format (another region, a rotation): the camera is
      // given the format's size, refuses, and nothing is overrun.
      {S_OK, 921600 + 3 * 640, true},
      {S_FALSE, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.pull << " frame bytes " << c.frameBytes);
    make({.pullResult = c.pull, .frameBytes = c.frameBytes});
    inGraph();
    ASSERT_EQ(control()->Run(), S_OK);
    LONG_PTR code = 0;
    EXPECT_EQ(awaitEvent(EC_ERRORABORT, &code, c.aborts ? 5000 : 300), c.aborts);
    if (c.aborts) {
      EXPECT_EQ(HRESULT(code), c.pull == S_OK ? E_FAIL : c.pull);
    } else {  // the pin goes on asking
      const int pulls = log().pulls.load();
      Sleep(100);
      EXPECT_GT(log().pulls.load(), pulls);
    }
    EXPECT_EQ(sink()->endOfStreams.load(), c.aborts ? 1 : 0);
    EXPECT_EQ(sink()->samples.load(), 0);
    EXPECT_LE(log().largestPullSize.load(), 921600u);
    TearDown();
  }
}

TEST_F(PinTest, ATurnedCameraIsOfferedAndFilledAtItsTurnedSize) {
  // 640x481 turned is 481x640: padded rows make the turned frame 640 bytes larger, so a format
  // of the unturned size would have the camera refuse every frame.
  make({.sizes = {{640, 481}}, .turned = true});
  CMediaType mt;
  ASSERT_EQ(preview()->GetMediaType(0, &mt), S_OK);
  const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(mt.Format());
  EXPECT_EQ(vih->bmiHeader.biWidth, 481);
  EXPECT_EQ(vih->bmiHeader.biHeight, 640);
  EXPECT_EQ(vih->bmiHeader.biSizeImage, 924160u);
  inGraph();
  ASSERT_EQ(control()->Run(), S_OK);
  ASSERT_TRUE(samplesReach(5));
  EXPECT_EQ(sink()->lastLength.load(), 924160);
  EXPECT_EQ(log().largestPullSize.load(), 924160u);
  LONG_PTR code = 0;
  EXPECT_FALSE(awaitEvent(EC_ERRORABORT, &code, 100));
}

TEST_F(PinTest, APausedPinDeliversNothingUntilRun) {
  make({});
  inGraph();
  ASSERT_EQ(control()->Run(), S_OK);
  ASSERT_TRUE(samplesReach(5));
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    ASSERT_EQ(preview()->Pause(), S_OK);
    Sleep(30);  // a sample already filled may still land
    const int held = sink()->samples.load();
    Sleep(200);
    EXPECT_EQ(sink()->samples.load(), held);
    ASSERT_EQ(preview()->Run(0), S_OK);
    EXPECT_TRUE(samplesReach(held + 5));
  }
}

TEST_F(PinTest, CommandsWakeAPinWaitingForAFrame) {
  make({.noFrames = true});
  inGraph();
  ASSERT_EQ(control()->Run(), S_OK);
  Sleep(50);
  DWORD begin = GetTickCount();
  EXPECT_EQ(preview()->Pause(), S_OK);  // held until the next command
  EXPECT_EQ(preview()->Run(0), S_OK);
  EXPECT_EQ(control()->Stop(), S_OK);
  EXPECT_LT(GetTickCount() - begin, 2000u);
  EXPECT_EQ(log().stops.load(), 1);
}

// A change of output depth holds the running pins while the camera rebuilds, hands back the
// camera's answer after they go on, and leaves an 8-bit camera and the pins alone. The samples
// are counted where the camera begins and ends: the pins go on before put_BitDepth returns, so a
// count taken around the call would take in whatever they deliver until the caller looks.
TEST_F(PinTest, BitDepthHoldsTheRunningPinsAroundTheCamera) {
  struct Case {
    uint32_t maxBitDepth;
    HRESULT cameraResult;
    int cameraCalls;
  } const cases[] = {
      {12, S_OK, 1},
      {12, static_cast<HRESULT>(0x80041234), 1},
      {8, S_OK, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.maxBitDepth);
    make({.stills = 1,
          .maxBitDepth = c.maxBitDepth,
          .bitDepthResult = c.cameraResult,
          .bitDepthMs = 400});
    inGraph(true);
    int atBegin = -1;  // the camera calls these on the caller's thread
    int atEnd = -1;
    log().onChange = [&] { atBegin = sink()->samples.load(); };
    log().onChangeEnd = [&] { atEnd = sink()->samples.load(); };
    ASSERT_EQ(control()->Run(), S_OK);
    ASSERT_TRUE(samplesReach(5));
    EXPECT_EQ(filter_->put_BitDepth(1), c.cameraResult);
    EXPECT_EQ(log().bitDepthCalls.load(), c.cameraCalls);
    // Held for the camera's 400 ms: the sample in flight landed before the pins answered, and
    // neither a sample nor a pull comes meanwhile.
    if (c.cameraCalls > 0) {
      EXPECT_GE(atBegin, 5);
      EXPECT_EQ(atEnd, atBegin);
      EXPECT_EQ(log().pullsDuringChange.load(), 0);
    }
    EXPECT_TRUE(samplesReach(sink()->samples.load() + 5));
    TearDown();
  }
}

// A preview stuck in a renderer's Receive cannot answer a pause: the change goes ahead without
// it, the page's thread is not kept, and the pin is not left paused when the renderer lets go.
TEST_F(PinTest, BitDepthDoesNotWaitForAPinStuckInDelivery) {
  make({.maxBitDepth = 12});
  inGraph();
  ASSERT_EQ(control()->Run(), S_OK);
  ASSERT_TRUE(samplesReach(3));
  // Waits for the Receive that blocks: one that began before the switch may have signalled its
  // start already and still block.
  sink()->blockReceive = true;
  ASSERT_EQ(WaitForSingleObject(sink()->blocked, 2000), WAIT_OBJECT_0);
  const DWORD begin = GetTickCount();
  EXPECT_EQ(filter_->put_BitDepth(1), S_OK);
  EXPECT_LT(GetTickCount() - begin, 8000u);  // one pin: one 5 s bound, the renderer holds 10 s
  EXPECT_EQ(log().bitDepthCalls.load(), 1);
  sink()->blockReceive = false;
  SetEvent(sink()->releaseReceive);
  EXPECT_TRUE(samplesReach(sink()->samples.load() + 5));
  const DWORD stopBegin = GetTickCount();
  EXPECT_EQ(control()->Stop(), S_OK);
  EXPECT_LT(GetTickCount() - stopBegin, 2000u);
}

IAMVideoControl* videoControl(CDcm* filter) {
  return static_cast<IAMVideoControl*>(filter);
}

// Only the trigger flag on the still pin takes a still: one sample of the connected still size,
// a sync point without time stamps, while the preview goes on at its own size.
TEST_F(PinTest, TheTriggerFlagOnTheStillPinTakesOneStill) {
  enum class Target { Still, Preview, None };
  struct Case {
    Target target;
    LONG mode;
    HRESULT result;
    int stills;
  } const cases[] = {
      {Target::Still, VideoControlFlag_Trigger, S_OK, 1},
      {Target::Still, 0, S_OK, 0},
      {Target::Still, VideoControlFlag_ExternalTriggerEnable, S_OK, 0},
      {Target::Preview, VideoControlFlag_Trigger, E_FAIL, 0},
      {Target::None, VideoControlFlag_Trigger, E_FAIL, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    make({.stills = 2});
    provider_->last->stillIndex = 1;
    inGraph(true);
    ASSERT_EQ(control()->Run(), S_OK);
    ASSERT_TRUE(samplesReach(3));
    IPin* pin = c.target == Target::Still     ? static_cast<IPin*>(still())
                : c.target == Target::Preview ? static_cast<IPin*>(preview())
                                              : nullptr;
    EXPECT_EQ(videoControl(filter_)->SetMode(pin, c.mode), c.result);
    Sleep(300);
    EXPECT_EQ(sink(1)->samples.load(), c.stills);
    if (c.stills > 0) {
      EXPECT_EQ(sink(1)->lastLength.load(), 320 * 240 * 3);
      EXPECT_TRUE(sink(1)->startTimes.empty());
    }
    const int previews = sink(0)->samples.load();
    EXPECT_TRUE(samplesReach(previews + 3));
    EXPECT_EQ(sink(0)->lastLength.load(), 640 * 480 * 3);
    TearDown();
  }
}

TEST_F(PinTest, VideoControlAnswersCapsAndMode) {
  for (uint32_t stills : {2u, 0u}) {
    make({.stills = stills});
    LONG value = -1;
    EXPECT_EQ(videoControl(filter_)->GetCaps(nullptr, &value), S_OK);
    EXPECT_EQ(value, stills ? VideoControlFlag_Trigger : 0);
    EXPECT_EQ(videoControl(filter_)->GetCaps(nullptr, nullptr), E_POINTER);
    value = -1;
    EXPECT_EQ(videoControl(filter_)->GetMode(nullptr, &value), S_OK);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(videoControl(filter_)->GetMode(nullptr, nullptr), E_POINTER);
    LONGLONG rate = 0;
    EXPECT_EQ(videoControl(filter_)->GetCurrentActualFrameRate(nullptr, &rate), E_NOTIMPL);
    TearDown();
  }
}

// The still pin alone runs the camera; triggers while a still is being taken collapse into one
// more; a stop ends a pin waiting for a trigger or inside a slow still at once.
TEST_F(PinTest, StillsAloneQuickTriggersAndStops) {
  make({.stills = 2, .snapMs = 300});
  inGraph(true, false);
  ASSERT_EQ(control()->Run(), S_OK);
  Sleep(100);
  EXPECT_EQ(log().starts.load(), 1);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(videoControl(filter_)->SetMode(still(), 8), S_OK);
  Sleep(1200);
  EXPECT_GE(sink(1)->samples.load(), 1);
  EXPECT_LE(sink(1)->samples.load(), 2);
  DWORD begin = GetTickCount();
  EXPECT_EQ(control()->Stop(), S_OK);  // waiting for a trigger
  EXPECT_LT(GetTickCount() - begin, 2000u);
  ASSERT_EQ(control()->Run(), S_OK);
  EXPECT_EQ(videoControl(filter_)->SetMode(still(), 8), S_OK);
  Sleep(100);
  begin = GetTickCount();
  EXPECT_EQ(control()->Stop(), S_OK);  // inside a still
  EXPECT_LT(GetTickCount() - begin, 2000u);
  EXPECT_EQ(log().stops.load(), 2);
}

// While "~Still" is connected its samples are sized for the connected still: a page choosing
// another still size, through the filter or a pin, is refused and the next still keeps its size.
TEST_F(PinTest, AConnectedStillKeepsItsSize) {
  make({.stills = 2});
  provider_->last->stillIndex = 1;
  inGraph(true);
  struct Case {
    ILumorixStillImage* target;
    uint32_t index;
    HRESULT result;
  } const cases[] = {
      {static_cast<ILumorixStillImage*>(filter_), 0, E_UNEXPECTED},
      {static_cast<ILumorixStillImage*>(preview()), 0, E_UNEXPECTED},
      {static_cast<ILumorixStillImage*>(still()), 0, E_UNEXPECTED},
      {static_cast<ILumorixStillImage*>(filter_), 1, S_OK},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.target->put_eStillSize(c.index), c.result);
    EXPECT_EQ(provider_->last->stillIndex.load(), 1u);
  }
  EXPECT_EQ(static_cast<ILumorixStillImage*>(still())->put_StillSize(640, 480), E_UNEXPECTED);
  ASSERT_EQ(control()->Run(), S_OK);
  EXPECT_EQ(videoControl(filter_)->SetMode(still(), VideoControlFlag_Trigger), S_OK);
  for (int i = 0; i < 100 && sink(1)->samples.load() == 0; ++i) Sleep(10);
  EXPECT_EQ(sink(1)->samples.load(), 1);
  EXPECT_EQ(sink(1)->lastLength.load(), 320 * 240 * 3);
}

// While the preview is connected its size is fixed: a region may move, not resize, and the
// full-frame form is taken only when the region is the full frame already. Through the filter
// and through a pin alike.
TEST_F(PinTest, ARegionMovesButKeepsTheConnectedSize) {
  struct Case {
    uint32_t previewIndex;  // 0: 640 x 480, the full frame; 1: 320 x 240
    bool connected;
    uint32_t put[4];
    HRESULT result;
    uint32_t reached[4];  // what the camera was given; zeros: not called
  } const cases[] = {
      {1, true, {100, 50, 320, 240}, S_OK, {100, 50, 320, 240}},
      {1, true, {0, 0, 640, 480}, E_UNEXPECTED, {}},
      {1, true, {0, 0, 0, 240}, E_UNEXPECTED, {}},
      {1, true, {0, 0, 320, 200}, E_UNEXPECTED, {}},  // the width kept, the height not
      {0, true, {0, 0, 0, 480}, S_OK, {0, 0, 640, 480}},
      {1, false, {8, 8, 64, 48}, S_OK, {8, 8, 64, 48}},
  };
  for (int target = 0; target < 2; ++target) {
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << "row " << (&c - cases) << " target " << target);
      make({});
      provider_->last->previewIndex = c.previewIndex;
      if (c.connected) inGraph();
      ILumorix* face =
          target == 0 ? static_cast<ILumorix*>(filter_) : static_cast<ILumorix*>(preview());
      EXPECT_EQ(face->put_Roi(c.put[0], c.put[1], c.put[2], c.put[3]), c.result);
      CameraDouble* cam = provider_->last;
      EXPECT_EQ(cam->roiCalls.load(), c.reached[2] ? 1 : 0);
      for (int k = 0; k < 4; ++k) EXPECT_EQ(cam->roi[k], c.reached[k]) << k;
      TearDown();
    }
  }
}

// While the preview is connected, stopped or running, its type sizes every sample: another size
// index, size or binning factor is refused as SetFormat refuses it, through the filter and through
// either pin, and the camera keeps its size. Unconnected, or keeping the size, the camera decides.
TEST_F(PinTest, AConnectedPreviewKeepsItsSize) {
  enum class Via { Filter, Preview, Still };
  enum class Call { Index, Size, Binning };
  struct Case {
    PinState state;
    Via via;
    Call call;
    int32_t value;  // an index, a width (of the list's size), or a binning code
    HRESULT result;
    bool reached;  // the camera was asked
  } const cases[] = {
      {PinState::Connected, Via::Filter, Call::Index, 1, VFW_E_ALREADY_CONNECTED, false},
      {PinState::Connected, Via::Preview, Call::Index, 1, VFW_E_ALREADY_CONNECTED, false},
      {PinState::Connected, Via::Still, Call::Index, 1, VFW_E_ALREADY_CONNECTED, false},
      {PinState::Running, Via::Filter, Call::Index, 1, VFW_E_ALREADY_CONNECTED, false},
      {PinState::Connected, Via::Filter, Call::Index, 0, S_OK, true},
      {PinState::Connected, Via::Filter, Call::Index, 7, E_INVALIDARG, true},
      {PinState::Unconnected, Via::Filter, Call::Index, 1, S_OK, true},
      {PinState::Unconnected, Via::Preview, Call::Index, 1, S_OK, true},
      {PinState::Connected, Via::Filter, Call::Size, 320, VFW_E_ALREADY_CONNECTED, false},
      {PinState::Connected, Via::Preview, Call::Size, 320, VFW_E_ALREADY_CONNECTED, false},
      {PinState::Running, Via::Preview, Call::Size, 320, VFW_E_ALREADY_CONNECTED, false},
      {PinState::Unconnected, Via::Filter, Call::Size, 320, E_NOTIMPL, true},  // the double's
      {PinState::Connected, Via::Filter, Call::Binning, 2, VFW_E_ALREADY_CONNECTED, false},
      {PinState::Connected, Via::Preview, Call::Binning, 0x82, VFW_E_ALREADY_CONNECTED, false},
      {PinState::Running, Via::Still, Call::Binning, 3, VFW_E_ALREADY_CONNECTED, false},
      {PinState::Running, Via::Filter, Call::Binning, 0x81, S_OK, true},  // the factor stays 1
      {PinState::Connected, Via::Filter, Call::Binning, 9, S_OK, true},   // the camera's to judge
      {PinState::Unconnected, Via::Filter, Call::Binning, 2, S_OK, true},
      {PinState::Unconnected, Via::Still, Call::Binning, 4, S_OK, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "row " << (&c - cases));
    make({.stills = 1});
    log().values->options[LUMORIX_OPTION_BINNING] = 1;
    if (c.state != PinState::Unconnected) inGraph();
    if (c.state == PinState::Running) {
      ASSERT_EQ(control()->Run(), S_OK);
    }
    ILumorix* face = c.via == Via::Filter    ? static_cast<ILumorix*>(filter_)
                     : c.via == Via::Preview ? static_cast<ILumorix*>(preview())
                                             : static_cast<ILumorix*>(still());
    const size_t before = log().values->count(c.call == Call::Binning ? "put_Option" : "put_eSize");
    HRESULT hr = E_FAIL;
    if (c.call == Call::Index) hr = face->put_eSize(uint32_t(c.value));
    if (c.call == Call::Size) hr = face->put_Size(c.value, c.value * 3 / 4);
    if (c.call == Call::Binning) hr = face->put_Option(LUMORIX_OPTION_BINNING, c.value);
    EXPECT_EQ(hr, c.result);
    if (c.call != Call::Size) {
      const size_t after =
          log().values->count(c.call == Call::Binning ? "put_Option" : "put_eSize");
      EXPECT_EQ(after - before, c.reached ? 1u : 0u);
    }
    if (c.result == VFW_E_ALREADY_CONNECTED) {
      EXPECT_EQ(provider_->last->previewIndex.load(), 0u);
      EXPECT_EQ(log().values->options[LUMORIX_OPTION_BINNING], 1);
    }
    if (c.state == PinState::Running) {
      EXPECT_TRUE(samplesReach(sink()->samples.load() + 3));
      LONG_PTR code = 0;
      EXPECT_FALSE(awaitEvent(EC_ERRORABORT, &code, 100));
    }
    TearDown();
  }
}

// A preset brings a binning and a turn: one that would change a connected pin's size is refused
// before the camera loads it; one that keeps the size, and any while nothing is connected, loads.
TEST_F(PinTest, APresetThatWouldReshapeAConnectedPinIsRefused) {
  namespace F = PLProcessFlags;
  constexpr uint32_t kFactory = 0xFFFFFFFFu;
  struct Case {
    bool connected;
    int32_t currentBinning;
    uint8_t binning;
    uint32_t flags;
    uint32_t index;
    HRESULT result;
  } const cases[] = {
      {true, 1, 2, 0, 0, VFW_E_ALREADY_CONNECTED},
      {true, 1, 0x81, 0, 0, S_OK},
      {true, 2, 0x82, 0, 0, S_OK},
      {true, 1, 7, 0, 0, S_OK},  // an unknown code bins by 1
      {true, 1, 1, F::kRotate90, 0, VFW_E_ALREADY_CONNECTED},
      {true, 1, 1, F::kRotate180, 0, S_OK},
      {true, 3, 1, 0, kFactory, VFW_E_ALREADY_CONNECTED},  // the factory bins by 1
      {true, 1, 1, 0, kFactory, S_OK},
      {false, 1, 2, F::kRotate270, 0, S_OK},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "row " << (&c - cases));
    make({.stills = 1});
    log().values->options[LUMORIX_OPTION_BINNING] = c.currentBinning;
    PresetRecord record{};
    record.name[0] = u'p';
    record.binning = c.binning;
    record.settings.processFlags = c.flags;
    log().values->presets.assign(1, record);
    if (c.connected) inGraph();
    EXPECT_EQ(filter_->LoadPreset(c.index), c.result);
    EXPECT_EQ(log().presetLoads.load(), c.result == S_OK ? 1 : 0);
    TearDown();
  }
}

// A renderer calling back into the filter on the pin's own worker would wait for its own reply:
// refused at once, nothing done, the camera not called.
TEST_F(PinTest, ABitDepthChangeOnAPinWorkerIsRefused) {
  make({.maxBitDepth = 12});
  inGraph();
  std::atomic<HRESULT> depth{S_OK};
  std::atomic<bool> called{false};
  sink()->onReceive = [&] {
    if (called.exchange(true)) return;
    depth = filter_->put_BitDepth(1);
  };
  ASSERT_EQ(control()->Run(), S_OK);
  ASSERT_TRUE(samplesReach(3));
  EXPECT_EQ(depth.load(), RPC_E_WRONG_THREAD);
  EXPECT_EQ(log().bitDepthCalls.load(), 0);
  control()->Stop();
  sink()->onReceive = nullptr;
}

// Turned by 90 or 270 degrees, both pins announce, accept and connect the turned sizes, and a
// still arrives whole at its turned size. 640x481 turned pads its rows: a still typed by the
// unturned size would be refused by the camera and abort the graph. Unturned, nothing changes.
TEST_F(PinTest, BothPinsOfferAcceptAndFillTheTurnedSizes) {
  struct Case {
    bool turned;
    SIZE sizes[2];  // as the caps announce them
    long stillBytes;
  } const cases[] = {
      {false, {{640, 481}, {320, 240}}, 640 * 3 * 481},
      {true, {{481, 640}, {240, 320}}, 1444 * 640},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.turned);
    make({.sizes = {{640, 481}, {320, 240}}, .stills = 2, .turned = c.turned});
    for (CDcmPinBase* pin : {preview(), still()}) {
      for (int i = 0; i < 2; ++i) {
        TypeHolder type;
        VIDEO_STREAM_CONFIG_CAPS caps = {};
        ASSERT_EQ(pin->GetStreamCaps(i, &type.mt, reinterpret_cast<BYTE*>(&caps)), S_OK);
        EXPECT_EQ(type.vih().bmiHeader.biWidth, c.sizes[i].cx) << i;
        EXPECT_EQ(type.vih().bmiHeader.biHeight, c.sizes[i].cy) << i;
        EXPECT_EQ(caps.MaxOutputSize.cx, c.sizes[i].cx) << i;
        EXPECT_EQ(caps.MaxOutputSize.cy, c.sizes[i].cy) << i;
      }
    }
    TypeHolder small;
    ASSERT_EQ(preview()->GetStreamCaps(1, &small.mt, nullptr), S_OK);
    ASSERT_EQ(preview()->SetFormat(small.mt), S_OK);  // a host matching the announced size
    EXPECT_EQ(provider_->last->previewIndex.load(), 1u);
    inGraph(true);
    AM_MEDIA_TYPE connected[2] = {};
    ASSERT_EQ(preview()->ConnectionMediaType(&connected[0]), S_OK);
    ASSERT_EQ(still()->ConnectionMediaType(&connected[1]), S_OK);
    const SIZE expected[2] = {c.sizes[1], c.sizes[0]};
    for (int k = 0; k < 2; ++k) {
      const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(connected[k].pbFormat);
      EXPECT_EQ(vih->bmiHeader.biWidth, expected[k].cx) << k;
      EXPECT_EQ(vih->bmiHeader.biHeight, expected[k].cy) << k;
      CoTaskMemFree(connected[k].pbFormat);
    }
    ASSERT_EQ(control()->Run(), S_OK);
    ASSERT_TRUE(samplesReach(3));
    EXPECT_EQ(videoControl(filter_)->SetMode(still(), VideoControlFlag_Trigger), S_OK);
    for (int i = 0; i < 200 && sink(1)->samples.load() == 0; ++i) Sleep(10);
    EXPECT_EQ(sink(1)->samples.load(), 1);
    EXPECT_EQ(sink(1)->lastLength.load(), c.stillBytes);
    LONG_PTR code = 0;
    EXPECT_FALSE(awaitEvent(EC_ERRORABORT, &code, 100));
    EXPECT_TRUE(samplesReach(sink()->samples.load() + 3));
    TearDown();
  }
}

// A stream that ended (a failed pull: end of stream and an abort went downstream) stays ended: a
// depth or preset change through the filter holds nothing and its release starts nothing.
TEST_F(PinTest, AnEndedStreamStaysEndedThroughChangesThatHoldThePins) {
  for (bool preset : {false, true}) {
    SCOPED_TRACE(preset ? "preset" : "depth");
    make({.pullResult = E_ACCESSDENIED, .maxBitDepth = 12});
    inGraph();
    ASSERT_EQ(control()->Run(), S_OK);
    LONG_PTR code = 0;
    ASSERT_TRUE(awaitEvent(EC_ERRORABORT, &code, 5000));
    for (int i = 0; i < 100 && sink()->endOfStreams.load() == 0; ++i) Sleep(10);
    const int pulls = log().pulls.load();
    EXPECT_EQ(preset ? filter_->LoadPreset(0) : filter_->put_BitDepth(1), S_OK);
    EXPECT_EQ(preset ? log().presetLoads.load() : log().bitDepthCalls.load(), 1);
    EXPECT_FALSE(awaitEvent(EC_ERRORABORT, &code, 300));
    EXPECT_EQ(sink()->endOfStreams.load(), 1);
    EXPECT_EQ(log().pulls.load(), pulls);
    TearDown();
  }
}

// Depth and preset changes through the filter hold both running pins while the camera works: no
// pull begins and a still asked for meanwhile is taken after. A paused graph's pins are not
// running, and the change must not set them running.
TEST_F(PinTest, ChangesThatRebuildHoldBothRunningPinsAndStartNone) {
  struct Case {
    bool preset;
    bool running;
  } const cases[] = {{false, true}, {true, true}, {false, false}, {true, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "preset " << c.preset << " running " << c.running);
    make({.stills = 1, .maxBitDepth = 12, .bitDepthMs = 300});
    inGraph(true);
    log().onChange = [this] { filter_->TriggerStill(still()); };
    ASSERT_EQ(c.running ? control()->Run() : control()->Pause(), S_OK);
    if (c.running) {
      ASSERT_TRUE(samplesReach(3));
    }
    EXPECT_EQ(c.preset ? filter_->LoadPreset(0) : filter_->put_BitDepth(1), S_OK);
    EXPECT_EQ(log().pullsDuringChange.load(), 0);
    EXPECT_EQ(log().snapsDuringChange.load(), 0);
    if (c.running) {
      for (int i = 0; i < 200 && sink(1)->samples.load() == 0; ++i) Sleep(10);
      EXPECT_EQ(sink(1)->samples.load(), 1);
      EXPECT_TRUE(samplesReach(sink()->samples.load() + 3));
    } else {
      Sleep(200);
      EXPECT_EQ(sink(0)->samples.load(), 0);
      EXPECT_EQ(sink(1)->samples.load(), 0);
    }
    TearDown();
  }
}

// A host thread may pause and run the graph, the filter or the preview pin while a depth change
// is inside the camera (a property page beside the graph's controls). None of them waits for the
// change or lets the held pin pull meanwhile; the run is taken when the change ends. A graph
// stopped and paused meanwhile starts a new worker that the change's end must not set running.
TEST_F(PinTest, StateChangesDuringADepthChangeTakeEffectWhenItEnds) {
  enum class Via { Graph, Filter, Pin, GraphRestart, GraphStopPause, Preset };
  struct Case {
    Via via;
    FILTER_STATE after;
  } const cases[] = {
      {Via::Graph, State_Running},         {Via::Filter, State_Running},
      {Via::Pin, State_Running},           {Via::GraphRestart, State_Running},
      {Via::GraphStopPause, State_Paused}, {Via::Preset, State_Running},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.via));
    make({.maxBitDepth = 12, .bitDepthMs = 100});
    inGraph();
    const auto changeState = [&] {
      ComScope com;
      switch (c.via) {
        case Via::Graph:
          return SUCCEEDED(control()->Pause()) && SUCCEEDED(control()->Run());
        case Via::Filter:
          return filter_->Pause() == S_OK && filter_->Run(0) == S_OK;
        case Via::Pin:
          return preview()->Pause() == S_OK && preview()->Run(0) == S_OK;
        case Via::GraphRestart:
          return control()->Stop() == S_OK && SUCCEEDED(control()->Run());
        case Via::GraphStopPause:
          return control()->Stop() == S_OK && SUCCEEDED(control()->Pause());
        case Via::Preset:  // a second change, ending inside the first
          return filter_->LoadPreset(0) == S_OK;
      }
      return false;
    };
    std::atomic<bool> started{false};
    std::atomic<bool> answered{false};
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread host;
    int atBegin = -1;  // the camera calls these on the caller's thread
    int atEnd = -1;
    bool inTime = false;
    log().onChange = [&] {
      if (started.exchange(true)) return;  // the preset's own change
      atBegin = sink()->samples.load();
      host = std::thread([&] {
        answered = changeState();
        SetEvent(done);
      });
      inTime = WaitForSingleObject(done, 2000) == WAIT_OBJECT_0;
    };
    log().onChangeEnd = [&] { atEnd = sink()->samples.load(); };
    ASSERT_EQ(control()->Run(), S_OK);
    ASSERT_TRUE(samplesReach(3));
    EXPECT_EQ(filter_->put_BitDepth(1), S_OK);
    if (host.joinable()) host.join();
    CloseHandle(done);
    EXPECT_TRUE(inTime);
    EXPECT_TRUE(answered.load());
    EXPECT_EQ(log().pullsDuringChange.load(), 0);
    EXPECT_EQ(atEnd, atBegin);
    if (c.after == State_Running) {
      EXPECT_TRUE(samplesReach(sink()->samples.load() + 5));
    } else {
      Sleep(100);
      EXPECT_EQ(sink()->samples.load(), atEnd);
    }
    FILTER_STATE state = State_Stopped;
    filter_->GetState(0, &state);
    EXPECT_EQ(state, c.after);
    TearDown();
  }
}

// A connected pin's type fixes the frame's shape: a quarter turn asked through the filter or a
// pin is refused and the stream goes on. A half turn keeps the shape and reaches the camera, as
// does any turn while nothing is connected; the next connection then takes the turned size.
TEST_F(PinTest, AShapeChangingTurnWaitsUntilNoPinIsConnected) {
  enum class Via { Filter, Preview, Still };
  enum class Connected { None, Preview, Still };
  struct Case {
    Via via;
    Connected connected;
    bool turned;
    int32_t degrees;
    HRESULT result;
    int32_t reached;  // the camera's angle after
  } const cases[] = {
      {Via::Filter, Connected::Preview, false, 90, E_UNEXPECTED, 0},
      {Via::Preview, Connected::Preview, false, 270, E_UNEXPECTED, 0},
      {Via::Still, Connected::Still, false, 90, E_UNEXPECTED, 0},
      {Via::Filter, Connected::Preview, true, 0, E_UNEXPECTED, 90},
      {Via::Filter, Connected::Preview, false, 180, S_OK, 180},
      {Via::Filter, Connected::Preview, false, 45, E_INVALIDARG, 0},
      {Via::Filter, Connected::None, false, 90, S_OK, 90},
      {Via::Preview, Connected::None, true, 0, S_OK, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "row " << (&c - cases));
    make({.stills = 1, .turned = c.turned});
    const bool connected = c.connected != Connected::None;
    if (connected) {
      inGraph(c.connected == Connected::Still, c.connected == Connected::Preview);
      ASSERT_EQ(control()->Run(), S_OK);
    }
    ILumorix* face = c.via == Via::Filter    ? static_cast<ILumorix*>(filter_)
                     : c.via == Via::Preview ? static_cast<ILumorix*>(preview())
                                             : static_cast<ILumorix*>(still());
    EXPECT_EQ(face->put_Option(LUMORIX_OPTION_ROTATE, c.degrees), c.result);
    EXPECT_EQ(provider_->last->degrees.load(), c.reached);
    if (c.connected == Connected::Preview) {
      EXPECT_TRUE(samplesReach(sink()->samples.load() + 3));
      LONG_PTR code = 0;
      EXPECT_FALSE(awaitEvent(EC_ERRORABORT, &code, 100));
    }
    if (!connected) {
      const bool quarter = c.reached == 90 || c.reached == 270;
      inGraph();
      AM_MEDIA_TYPE mt = {};
      ASSERT_EQ(preview()->ConnectionMediaType(&mt), S_OK);
      const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(mt.pbFormat);
      EXPECT_EQ(vih->bmiHeader.biWidth, quarter ? 480 : 640);
      EXPECT_EQ(vih->bmiHeader.biHeight, quarter ? 640 : 480);
      CoTaskMemFree(mt.pbFormat);
      ASSERT_EQ(control()->Run(), S_OK);
      EXPECT_TRUE(samplesReach(3));
    }
    TearDown();
  }
}

}  // namespace
