// The stream's threads: the camera-thread guard, every wait ending on stop, pause, the no-frame
// limit, grab results, which threads a start makes, and the shared spin threads.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>

#include "base/lumorix_flags.h"
#include "base/process_globals.h"
#include "core/stream/cpu_latency.h"
#include "core/stream/focus_thread.h"
#include "core/stream/grabber.h"
#include "core/stream/stream_claims.h"
#include "tests/core/stream/stream_test_support.h"
#include "tests/support/fake_model.h"

namespace {

using namespace zxstream;

void ignoreData(const uint8_t*, const LumorixFrameHeader*, int32_t, void*) {}

// One stop, restart, speed change or delete asked from inside a camera thread.
struct GuardProbe {
  static constexpr int kDelete = 3;
  FakeModel* cam = nullptr;
  static constexpr int kRegion = 4;
  int op = 0;  // 0 stop, 1 restart, 2 a speed change that restarts, 3 delete, 4 region
  uint32_t onCode = 4;
  std::atomic<int> calls{0};
  std::atomic<HRESULT> result{E_PENDING};
  void act() {
    if (calls++ != 0) return;
    if (op == kDelete) {
      delete cam;
      result = S_OK;
      return;
    }
    if (op == kRegion) {
      result = cam->put_Roi(0, 0, 320, 240);  // no settings key: the region restarts the stream
      return;
    }
    result = op == 0   ? cam->stop()
             : op == 1 ? cam->RestartStream(false, false, [] {})
                       : cam->put_Speed(1);
  }
  static void onData(const uint8_t*, const LumorixFrameHeader*, int32_t, void* c) {
    static_cast<GuardProbe*>(c)->act();
  }
  static void onEvent(uint32_t code, void* c) {
    auto* probe = static_cast<GuardProbe*>(c);
    if (code == probe->onCode) probe->act();
  }
  static void onError(int32_t, void* c) { static_cast<GuardProbe*>(c)->act(); }
};

// The camera threads a probe can act from: the fill-buffer thread's data callback and direct
// event, the callback thread's event, the grabber's error callback and the focus thread's event.
enum Source { Data, EventDirect, EventThreaded, Error, Focus };
const char* const kSourceNames[] = {"data", "event", "threaded event", "error", "focus event"};

FakeModelConfig configFor(int source) {
  return FakeModelConfig{source == Focus ? LUMORIX_FLAG_FOCUS : 0};
}

HRESULT startWithProbe(FakeModel& cam, GuardProbe& probe, int source) {
  if (source == Data) return cam.start(GuardProbe::onData, nullptr, nullptr, nullptr, &probe);
  if (source == Error) {
    cam.setErrorCallback(GuardProbe::onError, &probe);
    cam.script({GrabStep{}, GrabStep{GrabStep::Result, -4}});
    return cam.start();
  }
  cam.setCallbackThreadOption(source == EventThreaded);
  probe.onCode = source == Focus ? 132 : 4;
  cam.focusMovesLeft = 1;
  return cam.start(nullptr, nullptr, nullptr, nullptr, nullptr, GuardProbe::onEvent, &probe);
}

TEST(StreamThreadGuard, StopRestartSpeedAndRegionFromEveryCameraThreadAreRefused) {
  const char* const* names = kSourceNames;
  for (int source = Data; source <= Focus; ++source) {
    for (int op : {0, 1, 2, GuardProbe::kRegion}) {
      FakeModel cam(configFor(source));
      cam.usb().deferSpeed = true;
      GuardProbe probe;
      probe.cam = &cam;
      probe.op = op;
      ASSERT_EQ(startWithProbe(cam, probe, source), S_OK) << names[source];
      ASSERT_TRUE(waitFor([&] { return probe.result.load() != E_PENDING; })) << names[source];
      EXPECT_EQ(probe.result.load(), kWrongThread) << names[source] << " op " << op;
      EXPECT_EQ(cam.usb().requestedRoi().right, 0u) << names[source] << ": a refused region stays";
      const uint32_t before = cam.framesGrabbed();
      EXPECT_TRUE(waitFor([&] { return cam.framesGrabbed() > before + 3 || source != Data; }))
          << "the stream must keep running";
      EXPECT_TRUE(cam.started());
      EXPECT_EQ(cam.stop(), S_OK);
      EXPECT_FALSE(cam.hasThreads());
    }
  }
}

// Deleting the camera from a callback on each of its threads: the others are joined, the calling
// one is let go and leaves when its callback returns; the sanitizers see any later touch.
TEST(StreamThreadGuard, DeletingTheCameraFromEveryCameraThreadLetsThatThreadGo) {
  for (int source = Data; source <= Focus; ++source) {
    auto* cam = new FakeModel(configFor(source));
    GuardProbe probe;
    probe.cam = cam;
    probe.op = GuardProbe::kDelete;
    ASSERT_EQ(startWithProbe(*cam, probe, source), S_OK) << kSourceNames[source];
    ASSERT_TRUE(waitFor([&] { return probe.result.load() == S_OK; })) << kSourceNames[source];
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // the let-go thread leaves
  }
}

TEST(StreamThreadGuard, SpeedWithoutRestartIsAllowedOnACameraThread) {
  FakeModel cam;  // not deferring: the level is only written
  GuardProbe probe;
  probe.cam = &cam;
  probe.op = 2;
  ASSERT_EQ(cam.start(GuardProbe::onData, nullptr, nullptr, nullptr, &probe), S_OK);
  ASSERT_TRUE(waitFor([&] { return probe.result.load() != E_PENDING; }));
  EXPECT_EQ(probe.result.load(), S_OK);
  cam.stop();
}

// Each case leaves some thread waiting; stop must end them all promptly.
TEST(StreamStop, EveryWaitEndsPromptly) {
  struct Case {
    const char* name;
    std::function<HRESULT(FakeModel&, EventLog&)> setUp;
  } cases[] = {
      {"grabber on free, fill-buffer on a pull entry",
       [](FakeModel& cam, EventLog& log) {
         return cam.start(nullptr, nullptr, nullptr, nullptr, nullptr, EventLog::record, &log);
       }},
      {"grabber on the trigger",
       [](FakeModel& cam, EventLog&) {
         cam.usb().triggerMode = 1;
         return cam.start();
       }},
      {"grabber inside a grab",
       [](FakeModel& cam, EventLog&) {
         cam.script({GrabStep{GrabStep::Block}});
         return cam.start();
       }},
      {"idle callback thread",
       [](FakeModel& cam, EventLog& log) {
         cam.setCallbackThreadOption(true);
         return cam.start(nullptr, nullptr, nullptr, nullptr, nullptr, EventLog::record, &log,
                          nullptr, 0, 1);
       }},
      {"blocked focus read", [](FakeModel& cam, EventLog&) { return cam.start(); }},
  };
  for (const Case& c : cases) {
    FakeModel cam(FakeModelConfig{c.name[0] == 'b' ? LUMORIX_FLAG_FOCUS : 0});
    EventLog log;
    ASSERT_EQ(c.setUp(cam, log), S_OK) << c.name;
    std::atomic<HRESULT> pin{E_PENDING};
    std::thread puller([&] {
      std::vector<uint8_t> buffer(pinBytes(1024, 770));
      HRESULT hr = S_OK;
      while (hr == S_OK) hr = cam.PullFrameForPin(buffer.data(), uint32_t(buffer.size()), nullptr);
      pin = hr;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const auto begin = Clock::now();
    EXPECT_EQ(cam.stop(), S_OK);
    puller.join();
    EXPECT_LT(Clock::now() - begin, std::chrono::seconds(1)) << c.name;
    EXPECT_EQ(pin.load(), S_FALSE) << c.name;
    EXPECT_FALSE(cam.hasThreads()) << c.name;
  }
}

// A conversion that outlasts stop's wait keeps its record: that stop and the next start list only
// the ready ones again, so the new grabber never writes into the frame being read, and the record
// comes back once, when the pin gives it back.
TEST(StreamStop, AConversionPastTheWaitKeepsItsRecord) {
  FakeModel cam;
  HeldConversion conversion(cam, 60000);
  ASSERT_EQ(cam.start(), S_OK);
  ASSERT_TRUE(conversion.pullAndWait());
  auto freeHoldsTheHeldRecord = [&] {
    for (RawBufferRecord* r : cam.buffers().freeList())
      if (r->data == conversion.held.load()) return true;
    return false;
  };
  const auto begin = Clock::now();
  EXPECT_EQ(cam.stop(), S_OK);  // gives up waiting for the conversion
  EXPECT_LT(Clock::now() - begin, std::chrono::seconds(30));
  EXPECT_EQ(cam.buffers().freeList().size(), 2u);
  EXPECT_FALSE(freeHoldsTheHeldRecord());
  const uint32_t grabbed = cam.grabs.load();  // read while nothing grabs
  ASSERT_EQ(cam.start(), S_OK);
  EXPECT_TRUE(waitFor([&] { return cam.grabs.load() >= grabbed + 2; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));  // room for a wrong third grab
  EXPECT_EQ(cam.grabs.load(), grabbed + 2);
  conversion.finish();
  EXPECT_EQ(conversion.pulled.load(), S_OK);
  EXPECT_EQ(conversion.stampOut.load(), conversion.stampIn.load());
  EXPECT_EQ(cam.stop(), S_OK);
  EXPECT_EQ(cam.buffers().freeList().size(), 3u);
}

TEST(StreamStop, FailingFocusReadsBackOff) {
  FakeModel cam(FakeModelConfig{LUMORIX_FLAG_FOCUS});
  cam.focusFails = true;
  ASSERT_EQ(cam.start(), S_OK);
  std::this_thread::sleep_for(std::chrono::milliseconds(250));
  cam.stop();
  EXPECT_LE(cam.focusReads.load(), 250 / FocusThread::kBackOffMs + 2);
}

// The focus position a stream starts from is the third value of the model's focus record (its
// low 16 bits): a move to that position raises no event, a move elsewhere does.
TEST(StreamStart, FocusStartsFromTheModelsRecord) {
  const struct {
    int32_t recorded;  // the record's third value
    uint32_t moves;    // each read reports positions 1, 2, ...
    uint32_t events;
  } rows[] = {{0, 2, 2}, {1, 1, 0}, {1, 2, 1}, {0x10001, 1, 0}};
  for (const auto& row : rows) {
    FakeModelConfig config{LUMORIX_FLAG_FOCUS};
    config.withHelper = true;
    FakeModel cam(config);
    cam.fakeHelper()->focusInfo.value[2] = row.recorded;
    cam.focusMovesLeft = row.moves;
    EventLog log;
    ASSERT_EQ(cam.start(nullptr, nullptr, nullptr, nullptr, nullptr, EventLog::record, &log), S_OK);
    // Past the last move, the next read blocks: every event due has been raised.
    ASSERT_TRUE(waitFor([&] { return cam.focusReads.load() > row.moves; })) << row.recorded;
    EXPECT_TRUE(waitFor([&] { return log.count(132) >= row.events; })) << row.recorded;
    cam.stop();
    EXPECT_EQ(log.count(132), row.events) << row.recorded;
  }
}

TEST(StreamPause, PauseStopsGrabbingAndResumeRaisesNoFalseNoFrame) {
  FakeTicks ticks(5000);
  FakeModel cam;
  cam.exposureUs = 1000;  // a 10 s limit
  cam.setNoFrameTimeoutOption(true);
  EventLog log;
  ASSERT_EQ(cam.start(nullptr, nullptr, nullptr, nullptr, nullptr, EventLog::record, &log), S_OK);
  ASSERT_TRUE(waitFor([&] { return cam.grabs.load() > 3; }));
  cam.put_Pause(1);
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  const uint32_t paused = cam.grabs.load();
  std::this_thread::sleep_for(std::chrono::milliseconds(120));
  EXPECT_EQ(cam.grabs.load(), paused);
  ticks.advance(20000);  // a long pause
  cam.idleResult = 0;    // and no frame at first after it
  cam.put_Pause(0);
  // Frames are pulled meanwhile: a full pull queue would hold every raw buffer.
  std::vector<uint8_t> out(1024 * 770 * 4 + 64);
  LumorixFrameInfo info{};
  ASSERT_TRUE(waitFor([&] {
    cam.PullImage(out.data(), 24, 0, &info);
    return cam.grabs.load() > paused + 5;
  }));
  EXPECT_GE(cam.grabStatus(), 0);
  EXPECT_EQ(log.count(130), 0u);
  cam.stop();
}

// Grab results code by code: whether the stream goes on, the event, the no-frame state.
TEST(StreamGrabber, ResultTable) {
  const struct {
    int32_t result;
    bool continues;
    uint32_t event;  // 0: none
    uint32_t noFrameState;
    bool errorCallback;
  } table[] = {{0, true, 0, 0, false},     {-1, false, 128, 2, false}, {-2, true, 0, 0, false},
               {-3, false, 129, 3, false}, {-4, true, 0, 0, true},     {-6, true, 133, 0, false},
               {-7, false, 128, 0, false}};
  for (const auto& row : table) {
    FakeModel cam;
    EventLog log;
    std::atomic<int> errors{0};
    cam.setErrorCallback([](int32_t, void* c) { ++*static_cast<std::atomic<int>*>(c); }, &errors);
    cam.script({GrabStep{}, GrabStep{GrabStep::Result, row.result}});
    ASSERT_EQ(cam.start(ignoreData, nullptr, nullptr, nullptr, nullptr, EventLog::record, &log),
              S_OK);
    ASSERT_TRUE(waitFor([&] { return cam.grabs.load() > 8 || cam.grabStatus() < 0; }));
    if (row.event != 0) {
      EXPECT_TRUE(waitFor([&] { return log.count(row.event) == 1; }));
    }
    EXPECT_EQ(cam.grabStatus() >= 0, row.continues) << row.result;
    EXPECT_EQ(errors.load() == 1, row.errorCallback) << row.result;
    if (!row.continues) {
      EXPECT_EQ(cam.get_NoFrameState(), row.noFrameState) << row.result;
    }
    cam.stop();
  }
}

TEST(StreamGrabber, NoFrameLimitOnAFakeClock) {
  const struct {
    uint32_t exposureUs, limitMs;
    bool option, trigger, ends;
  } table[] = {{20000000, 42000, true, false, true},
               {1000, 10000, true, false, true},
               {1000, 10000, false, false, false},
               {1000, 10000, true, true, false}};
  for (const auto& row : table) {
    FakeTicks ticks(1000);
    FakeModel cam;
    cam.exposureUs = row.exposureUs;
    cam.setNoFrameTimeoutOption(row.option);
    cam.idleResult = 0;
    cam.usb().triggerMode = row.trigger ? 1 : 0;
    EventLog log;
    ASSERT_EQ(cam.start(ignoreData, nullptr, nullptr, nullptr, nullptr, EventLog::record, &log),
              S_OK);
    if (row.trigger) cam.trigger(0xFFFF);
    auto settle = [&] {
      const uint32_t g = cam.grabs.load();
      ASSERT_TRUE(waitFor([&] { return cam.grabs.load() > g + 3 || cam.grabStatus() < 0; }));
    };
    settle();
    ticks.advance(row.limitMs);
    settle();
    EXPECT_GE(cam.grabStatus(), 0) << row.exposureUs << " at the limit";
    ticks.advance(1);
    settle();
    EXPECT_EQ(cam.grabStatus() < 0, row.ends) << row.exposureUs;
    if (row.ends) {
      EXPECT_TRUE(waitFor([&] { return log.count(130) == 1; }));
    }
    cam.stop();
  }
}

// Which threads a start makes: fill-buffer for callbacks or a sink, the callback thread only
// with the option and an event callback, the focus thread only on focus models.
TEST(StreamStart, ThreadSetFollowsCallbacksSinkOptionAndFocus) {
  const struct {
    bool data, event, option, focus;
    int expected;
  } table[] = {{false, false, false, false, 1}, {true, false, false, false, 2},
               {false, true, false, false, 2},  {false, true, true, false, 3},
               {false, false, true, false, 1},  {false, false, false, true, 2},
               {true, true, true, true, 4}};
  for (const auto& row : table) {
    FakeModel cam(FakeModelConfig{row.focus ? LUMORIX_FLAG_FOCUS : 0});
    cam.setCallbackThreadOption(row.option);
    EventLog log;
    auto data = [](const uint8_t*, const LumorixFrameHeader*, int32_t, void*) {};
    ASSERT_EQ(cam.start(row.data ? +data : nullptr, nullptr, nullptr, nullptr, nullptr,
                        row.event ? EventLog::record : nullptr, &log),
              S_OK);
    EXPECT_EQ(cam.threadCount(), row.expected) << row.data << row.event << row.option << row.focus;
    cam.stop();
  }
}

TEST(StreamStart, SpinThreadsAreSharedAndEndWithTheLastStream) {
  ProcessGlobals& g = Globals();
  const uint32_t saved = g.spinThreadCount;
  g.spinThreadCount = 2;
  FakeModel a, b;
  FakeModel quiet(FakeModelConfig{LUMORIX_FLAG_NOLATENCY});
  for (int round = 0; round < 2; ++round) {
    ASSERT_EQ(quiet.start(), S_OK);
    EXPECT_EQ(CpuLatency::runningThreads(), 0u);
    ASSERT_EQ(a.start(), S_OK);
    ASSERT_EQ(b.start(), S_OK);
    EXPECT_EQ(CpuLatency::runningThreads(), 2u);
    a.stop();
    EXPECT_EQ(CpuLatency::runningThreads(), 2u);
    b.stop();
    a.stop();  // a second stop must not unregister twice
    EXPECT_EQ(CpuLatency::runningThreads(), 0u);
    quiet.stop();
  }
  g.spinThreadCount = saved;
  platform::SystemTimes zero{};
  EXPECT_EQ(CpuLatency::UsagePercent(zero, zero), 0u);
  EXPECT_EQ(CpuLatency::UsagePercent({0, 0, 0}, {50, 100, 100}), 75u);
}

// The spin threads' system-time reads, counted: a thread still spinning keeps adding to it.
std::atomic<uint32_t> timeReads{0};
bool countedTimes(platform::SystemTimes& times) {
  ++timeReads;
  times = {};
  return true;
}

TEST(StreamStart, SpinThreadsEndAtUnloadWhileAStreamStillHoldsThem) {
  ProcessGlobals& g = Globals();
  const uint32_t saved = g.spinThreadCount;
  g.spinThreadCount = 2;
  CpuLatency::SetSystemTimesSource(countedTimes);
  FakeModel cam;
  ASSERT_EQ(cam.start(), S_OK);
  for (int i = 0; i < 1000 && timeReads.load() == 0; ++i) platform::SleepMs(1);
  CpuLatency::stopForUnload();
  EXPECT_EQ(CpuLatency::runningThreads(), 0u);
  const uint32_t after = timeReads.load();
  platform::SleepMs(50);
  EXPECT_EQ(timeReads.load(), after) << "a spin thread runs on after the unload";
  cam.stop();  // its reference was dropped with the rest: nothing left to undo
  EXPECT_EQ(CpuLatency::runningThreads(), 0u);
  CpuLatency::SetSystemTimesSource(nullptr);
  g.spinThreadCount = saved;
}

TEST(StreamClaims, NestingBeyondTheThreadsTableIsRefusedAndHoldsEndInAnyOrder) {
  StreamClaims a, b;
  a.open();
  b.open();
  ASSERT_TRUE(a.acquire());
  ASSERT_TRUE(b.acquire());
  for (uint32_t i = 2; i < StreamClaims::kMaxNestedHolds; ++i) ASSERT_TRUE(a.acquire()) << i;
  EXPECT_FALSE(b.acquire()) << "one hold more than the table keeps";
  for (uint32_t i = 1; i < StreamClaims::kMaxNestedHolds; ++i) a.release();
  EXPECT_FALSE(a.heldHere());
  EXPECT_TRUE(b.heldHere()) << "b's hold, under all of a's, outlives them";
  EXPECT_TRUE(a.waitIdle(0));
  EXPECT_FALSE(b.waitIdle(0));
  b.release();
  EXPECT_FALSE(b.heldHere());
  EXPECT_TRUE(b.waitIdle(0));
}

}  // namespace
