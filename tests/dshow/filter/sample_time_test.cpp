// The preview's sample times as the filter stamps them: each sample starts where the one before
// it stopped, from 0 at every camera start, and the samples span the real time streamed.
#include <gtest/gtest.h>

#include <windows.h>
#include <dshow.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

#include "dshow/filter/cdcm.h"
#include "dshow/pins/cpushpindcm.h"
#include "dshow/pins/cstillpindcm.h"
#include "platform/clock.h"
#include "tests/dshow/filter/camera_double.h"
#include "tests/dshow/support/comptr.h"
#include "tests/dshow/support/testsink.h"

namespace {

constexpr int64_t kUnitsPerMs = 10000;
constexpr int kSamplesPerRun = 12;
constexpr uint32_t kStoppedJumpMs = 9000;  // the clock moves on while the camera is stopped

// The OS tick moved by what the test adds: gaps of seconds cost nothing, and the filter's clock
// can be made to wrap.
std::atomic<uint32_t> g_tickOffset{0};
uint32_t offsetTick() {
  return platform::OsTickCountMs() + g_tickOffset.load();
}

struct TickOffsetScope {
  TickOffsetScope() {
    g_tickOffset = 0;
    platform::SetTickSource(offsetTick);
  }
  ~TickOffsetScope() { platform::SetTickSource(nullptr); }
};

struct RunTimes {
  std::vector<REFERENCE_TIME> starts, stops;
  int64_t elapsed = 0;  // on the test's clock, from before Run to after Stop
};

bool awaitSamples(TestSinkPin* sink, int count) {
  for (int i = 0; i < 400 && sink->samples.load() < count; ++i) Sleep(10);
  return sink->samples.load() >= count;
}

// One run from stopped to stopped; with pauseJumpMs, paused halfway while the clock moves on.
RunTimes streamOnce(CDcm* filter, TestSinkPin* sink, uint32_t pauseJumpMs) {
  RunTimes times;
  sink->samples = 0;
  const uint32_t begin = offsetTick();
  EXPECT_EQ(filter->Run(0), S_OK);
  EXPECT_TRUE(awaitSamples(sink, kSamplesPerRun / 2));
  if (pauseJumpMs) {
    EXPECT_EQ(filter->Pause(), S_OK);
    g_tickOffset += pauseJumpMs;
    EXPECT_EQ(filter->Run(0), S_OK);
  }
  EXPECT_TRUE(awaitSamples(sink, kSamplesPerRun));
  EXPECT_EQ(filter->Stop(), S_OK);
  times.elapsed = int64_t{offsetTick() - begin} * kUnitsPerMs;
  std::lock_guard<std::mutex> guard(sink->timesLock);
  times.starts.swap(sink->startTimes);
  times.stops.swap(sink->stopTimes);
  return times;
}

TEST(SampleTimes, FollowOnFromZeroAtEachCameraStart) {
  struct Case {
    const char* name;
    bool wraps;         // the tick wraps 20 ms into the first run
    bool stillRunning;  // a second pin thread: the camera starts once for both
    uint32_t pauseJumpMs;
  } cases[] = {
      {"preview alone", false, false, 0},
      {"the tick wraps while streaming", true, false, 0},
      {"beside a running still pin", false, true, 0},
      {"paused while the clock moves 5 s", false, false, 5000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ComScope com;
    const LONG baseline = CUnknown::ObjectsActive();
    TickOffsetScope clock;
    DoubleProvider provider({CameraSetup{.stills = 1}});
    HRESULT hr = S_OK;
    auto* filter = new CDcm(0, &hr);
    filter->NonDelegatingAddRef();
    TestSinkFilter* sinks[] = {new TestSinkFilter(&hr), new TestSinkFilter(&hr)};
    for (auto* sink : sinks) sink->NonDelegatingAddRef();
    ASSERT_EQ(hr, S_OK);
    ASSERT_EQ(filter->previewPin()->Connect(sinks[0]->Pin(), nullptr), S_OK);
    if (c.stillRunning) {
      ASSERT_EQ(filter->stillPin()->Connect(sinks[1]->Pin(), nullptr), S_OK);
    }

    for (int run = 0; run < 2; ++run) {
      SCOPED_TRACE(run);
      if (run > 0) g_tickOffset += kStoppedJumpMs;
      if (c.wraps && run == 0) g_tickOffset = 0u - 20u - platform::OsTickCountMs();
      const RunTimes t = streamOnce(filter, sinks[0]->Pin(), c.pauseJumpMs);
      ASSERT_GE(t.starts.size(), size_t{kSamplesPerRun});
      EXPECT_EQ(t.starts.front(), 0);
      int64_t longest = 0;
      for (size_t i = 0; i < t.starts.size(); ++i) {
        EXPECT_GT(t.stops[i], t.starts[i]) << i;
        if (i > 0) {
          EXPECT_EQ(t.starts[i], t.stops[i - 1]) << i;
        }
        longest = std::max(longest, t.stops[i] - t.starts[i]);
      }
      // Together no longer than the run: the stopped time before it is no sample's.
      EXPECT_LE(t.stops.back(), t.elapsed);
      // The pause is in the one sample that spans it.
      EXPECT_GE(longest, int64_t{c.pauseJumpMs} * kUnitsPerMs);
    }

    filter->Stop();
    for (int i = 0; i < filter->GetPinCount(); ++i) filter->GetPin(i)->Disconnect();
    for (auto* sink : sinks) sink->Pin()->Disconnect();
    filter->NonDelegatingRelease();
    for (auto* sink : sinks) sink->NonDelegatingRelease();
    EXPECT_EQ(provider.log->alive.load(), 0);
    EXPECT_EQ(CUnknown::ObjectsActive(), baseline);
  }
}

}  // namespace
