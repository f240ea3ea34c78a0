// The exposure and colour/grey notification callbacks, the demosaic and histogram hooks, the
// statistics callback, the start's event callback (replaced by the next start; a stop waits for
// its calls and keeps it), and the raw-data, error and one-push balance callbacks a stream calls,
// on the fake model: set and cleared as one pair, called with their context on another thread,
// never entered once a clear returns, and a set made inside a call waiting for another thread's
// call unless that thread waits for the setting one, directly or through other threads waiting in
// sets or joins, and returning promptly once the call ends.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <ostream>
#include <shared_mutex>
#include <thread>
#include <vector>

#include "core/control_lock.h"
#include "base/lumorix_events.h"
#include "core/stream/event_sink.h"
#include "core/stream/notify_slot.h"
#include "core/stream/stream_claims.h"
#include "core/stream/wait_graph.h"
#include "pipeline/pl_state_lock.h"
#include "platform/thread.h"
#include "tests/core/stream/stream_test_support.h"
#include "tests/support/fake_model.h"

namespace {

using zxstream::waitFor;

struct CallbackRow {
  const char* name;
  HRESULT (*put)(BaseImpl& cam, LumorixNotifyCallback callback, void* context);
  void (*raise)(BaseImpl& cam);  // what the pipeline calls when the value changes
  int rounds = 200;              // of the clear beside a caller: fewer where each restarts
};

void PrintTo(const CallbackRow& row, std::ostream* os) {
  *os << row.name;
}

// The other pairs' types, each handing its call to the row's callback: every row sets the one
// notify callback below, so the adapters call it by name.
void notifyPage(void* context);
void onDemosaic(uint32_t, int32_t, int32_t, const void*, void*, uint8_t, void* x) {
  notifyPage(x);
}
void onHistogram(const uint32_t*, uint32_t, void* x) {
  notifyPage(x);
}
void onStats(const float*, const float*, const float*, const float*, void* x) {
  notifyPage(x);
}
constexpr uint32_t kRowEvent = kEventFactoryReset;  // raised by no stream of the fake model
void onEvent(uint32_t code, void* x) {
  if (code == kRowEvent) notifyPage(x);
}
void noEvent(uint32_t, void*) {}
void onTempTint(int32_t, int32_t, void* x) {
  notifyPage(x);
}
void onResult(int32_t, void* x) {
  notifyPage(x);
}
// A start whose pairs are its event callback alone: frames go to the pull queues.
HRESULT restartPulling(BaseImpl& c, LumorixEventCallback event, void* x) {
  c.stop();
  return c.start(nullptr, nullptr, nullptr, nullptr, nullptr, event, x);
}
// The statistics and one-push requests are taken only while streaming.
bool streaming(BaseImpl& c) {
  return c.started() || c.start() == S_OK;
}
// A clear by a new start; of two at once, the later start meets the earlier's stream, which
// replaced the pair as well.
HRESULT startAnew(BaseImpl& c) {
  const HRESULT hr = restartPulling(c, noEvent, nullptr);
  return hr == E_UNEXPECTED && c.started() ? S_OK : hr;
}

// One function for both exposure rows: a row's other row is never one on the same slot.
void raiseExposure(BaseImpl& c) {
  c.OnExposureChanged();
}

const CallbackRow kRows[] = {
    {"exposure",
     [](BaseImpl& c, LumorixNotifyCallback f, void* x) { return c.put_ExpoCallback(f, x); },
     raiseExposure},
    {"chrome",
     [](BaseImpl& c, LumorixNotifyCallback f, void* x) { return c.put_ChromeCallback(f, x); },
     [](BaseImpl& c) { c.OnChromeChanged(); }},
    {"demosaicHook",
     [](BaseImpl& c, LumorixNotifyCallback f, void* x) {
       return c.put_DemosaicCallback(f ? onDemosaic : nullptr, x);
     },
     [](BaseImpl& c) { BaseImpl::demosaicThroughSlot(0, 1, 1, nullptr, nullptr, 8, &c); }},
    {"histogramHook",
     [](BaseImpl& c, LumorixNotifyCallback f, void* x) {
       return c.put_HistogramCallback(f ? onHistogram : nullptr, x);
     },
     [](BaseImpl& c) { BaseImpl::histogramThroughSlot(nullptr, 8, &c); }},
    {"statistics",  // asked for while streaming
     [](BaseImpl& c, LumorixNotifyCallback f, void* x) {
       if (!streaming(c)) return E_FAIL;
       return c.GetHistogramEx(f ? onStats : nullptr, x, 0);
     },
     [](BaseImpl& c) { BaseImpl::statsThroughSlot(nullptr, nullptr, nullptr, nullptr, &c); }},
    {"startsEvent",  // replaced by the next start's
     [](BaseImpl& c, LumorixNotifyCallback f, void* x) {
       return f ? restartPulling(c, onEvent, x) : startAnew(c);
     },
     [](BaseImpl& c) { EventSink(c).raise(kRowEvent); }, 40},
    {"exposureClearedByAPullStart",
     [](BaseImpl& c, LumorixNotifyCallback f, void* x) {
       if (f) {
         c.stop();
         return c.put_ExpoCallback(f, x);
       }
       return startAnew(c);
     },
     raiseExposure, 40},
    // The one-push completions, asked for while streaming and cleared by any start.
    {"whiteBalanceClearedByAStart",
     [](BaseImpl& c, LumorixNotifyCallback f, void* x) {
       if (!f) return startAnew(c);
       if (!streaming(c)) return E_FAIL;
       c.AwbOnePush(onTempTint, x);  // the pair is set whatever the balance answers
       return S_OK;
     },
     [](BaseImpl& c) { c.OnWhiteBalanceDone(0, 0); }, 40},
    {"awbInitClearedByAStart",
     [](BaseImpl& c, LumorixNotifyCallback f, void* x) {
       if (!f) return startAnew(c);
       if (!streaming(c)) return E_FAIL;
       c.AwbInit(onResult, x);
       return S_OK;
     },
     [](BaseImpl& c) { c.OnAwbInitDone(0); }, 40},
};

// What a page's dialog is to its callback: freed right after the clear returns.
struct Page {
  BaseImpl* cam = nullptr;
  const CallbackRow* row = nullptr;
  std::atomic<int> calls{0};
  std::atomic<bool> freed{false};
  std::atomic<int> enteredFreed{0};  // entered, or still running, after the clear returned
  std::atomic<bool> clearInside{false};
  std::atomic<HRESULT> insideResult{E_PENDING};
  int tag = 0;                           // which of two callbacks this context was set with
  std::atomic<int> torn{0};              // calls of one callback with the other's context
  std::atomic<int> arrived{0};           // calls begun
  std::atomic<int>* meeting = &arrived;  // calls begun here, or of this and another page
  int meetInside = 0;                // > 0: each call waits (bounded) until this many have begun
  std::atomic<bool> oneShot{false};  // the first call clears, then frees the page at once
  // The next call stays inside until the clear has begun, and a little after.
  std::atomic<bool> holdOne{false}, heldInside{false}, clearing{false}, heldLeft{false};

  static void notify(void* context) {
    Page& p = *static_cast<Page*>(context);
    if (p.freed) ++p.enteredFreed;
    ++p.calls;
    ++p.arrived;
    if (p.meeting != &p.arrived) ++*p.meeting;
    if (p.meetInside > 0) waitFor([&] { return p.meeting->load() >= p.meetInside; }, 2000);
    const bool held = p.holdOne.exchange(false);
    if (held) {
      p.heldInside = true;
      waitFor([&] { return p.clearing.load(); }, 2000);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (p.clearInside) p.insideResult = p.row->put(*p.cam, nullptr, nullptr);
    if (p.oneShot.exchange(false)) {
      p.insideResult = p.row->put(*p.cam, nullptr, nullptr);
      p.freed = true;
      return;  // the page is gone
    }
    if (p.meetInside > 0 && !p.clearInside) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));  // still inside as it is freed
    }
    std::this_thread::yield();  // widens the window a clear must wait through
    if (p.freed) ++p.enteredFreed;
    if (held) p.heldLeft = true;
  }
  static void tagged(void* context, int tag) {
    if (static_cast<Page*>(context)->tag != tag) ++static_cast<Page*>(context)->torn;
    notify(context);
  }
};

void notifyPage(void* context) {
  Page::notify(context);
}

void raiseOnAnotherThread(BaseImpl& cam, const CallbackRow& row) {
  std::thread pipeline([&] { row.raise(cam); });
  pipeline.join();
}

const CallbackRow& otherRow(const CallbackRow& row) {
  return row.raise == kRows[0].raise ? kRows[1] : kRows[0];
}

// Raises first and second on two threads at once; false, the threads let go, when they are not
// both back within the bound.
bool raisedOnTwoThreads(BaseImpl& cam, const CallbackRow& first, const CallbackRow& second) {
  const auto done = std::make_shared<std::atomic<int>>(0);
  std::thread a([&cam, &first, done] {
    first.raise(cam);
    ++*done;
  });
  std::thread b([&cam, &second, done] {
    second.raise(cam);
    ++*done;
  });
  const bool returned = waitFor([&] { return done->load() == 2; });
  if (!returned) {  // a hang: let the test fail rather than block the suite
    a.detach();
    b.detach();
    return false;
  }
  a.join();
  b.join();
  return true;
}

FakeModelConfig withHelper() {
  FakeModelConfig config;
  config.withHelper = true;  // the statistics request is the helper's
  return config;
}

class NotifyCallbacks : public ::testing::TestWithParam<CallbackRow> {
 protected:
  FakeModel cam_{withHelper()};
  Page page_{&cam_, &GetParam()};
};

TEST_P(NotifyCallbacks, CalledWithItsContextUntilCleared) {
  raiseOnAnotherThread(cam_, GetParam());  // nothing set: nothing called
  ASSERT_EQ(GetParam().put(cam_, Page::notify, &page_), S_OK);
  raiseOnAnotherThread(cam_, GetParam());
  EXPECT_EQ(page_.calls.load(), 1);
  ASSERT_EQ(GetParam().put(cam_, nullptr, nullptr), S_OK);
  raiseOnAnotherThread(cam_, GetParam());
  EXPECT_EQ(page_.calls.load(), 1);
  // The other notification is not this one's.
  ASSERT_EQ(GetParam().put(cam_, Page::notify, &page_), S_OK);
  for (const CallbackRow& other : kRows)
    if (other.raise != GetParam().raise) raiseOnAnotherThread(cam_, other);
  EXPECT_EQ(page_.calls.load(), 1);
}

TEST_P(NotifyCallbacks, AClearFromInsideTheCallbackReturns) {
  page_.clearInside = true;
  ASSERT_EQ(GetParam().put(cam_, Page::notify, &page_), S_OK);
  std::atomic<bool> done{false};
  std::thread pipeline([&] {
    GetParam().raise(cam_);
    done = true;
  });
  const bool returned = waitFor([&] { return done.load(); });
  if (!returned) pipeline.detach();  // a hang: let the test fail rather than block the suite
  ASSERT_TRUE(returned);
  pipeline.join();
  EXPECT_EQ(page_.insideResult.load(), S_OK);
  GetParam().raise(cam_);
  EXPECT_EQ(page_.calls.load(), 1) << "cleared from inside";
}

// Two threads each clear the callback from inside it (a one-shot callback raised by the AE thread
// and by a host setter at once): neither may wait for the other.
TEST_P(NotifyCallbacks, TwoClearsFromInsideBothReturn) {
  page_.clearInside = true;
  page_.meetInside = 2;
  ASSERT_EQ(GetParam().put(cam_, Page::notify, &page_), S_OK);
  ASSERT_TRUE(raisedOnTwoThreads(cam_, GetParam(), GetParam()))
      << "two clears from inside the callback wait for each other";
  EXPECT_EQ(page_.calls.load(), 2);
  EXPECT_EQ(page_.insideResult.load(), S_OK);
}

// Two threads, each inside one of the two callbacks, each clear the other's: each clear would wait
// for the other thread's call, so neither may.
TEST_P(NotifyCallbacks, TwoCallbacksClearingEachOtherBothReturn) {
  Page mine{&cam_, &otherRow(GetParam())}, theirs{&cam_, &GetParam()};
  theirs.meeting = &mine.arrived;
  for (Page* page : {&mine, &theirs}) {
    page->clearInside = true;
    page->meetInside = 2;
  }
  ASSERT_EQ(GetParam().put(cam_, Page::notify, &mine), S_OK);
  ASSERT_EQ(otherRow(GetParam()).put(cam_, Page::notify, &theirs), S_OK);
  ASSERT_TRUE(raisedOnTwoThreads(cam_, GetParam(), otherRow(GetParam())))
      << "clears of each other's callback from inside them wait for each other";
  EXPECT_EQ(mine.insideResult.load(), S_OK);
  EXPECT_EQ(theirs.insideResult.load(), S_OK);
}

// A one-shot callback entered on two threads at once (the AE thread and a host setter): the call
// that clears it frees the page as soon as its clear returns, so the other call must be over.
TEST_P(NotifyCallbacks, AClearFromInsideWaitsForTheOtherThreadsCall) {
  page_.oneShot = true;
  page_.meetInside = 2;
  ASSERT_EQ(GetParam().put(cam_, Page::notify, &page_), S_OK);
  ASSERT_TRUE(raisedOnTwoThreads(cam_, GetParam(), GetParam()))
      << "a clear from inside waits for ever for the other thread's call";
  EXPECT_EQ(page_.enteredFreed.load(), 0);
  EXPECT_EQ(page_.insideResult.load(), S_OK);
}

// A host thread clears while a pipeline thread keeps calling: once the clear returns the page is
// freed, and the callback must neither start nor still run.
TEST_P(NotifyCallbacks, NeverEnteredAfterTheClearReturns) {
  for (int round = 0; round < GetParam().rounds; ++round) {
    Page page{&cam_, &GetParam()};
    ASSERT_EQ(GetParam().put(cam_, Page::notify, &page), S_OK);
    std::atomic<bool> stop{false};
    std::thread pipeline([&] {
      while (!stop) GetParam().raise(cam_);
    });
    ASSERT_TRUE(waitFor([&] { return page.calls.load() > round % 3; }));
    ASSERT_EQ(GetParam().put(cam_, nullptr, nullptr), S_OK);
    page.freed = true;
    const int callsAtClear = page.calls.load();
    std::this_thread::yield();
    stop = true;
    pipeline.join();
    ASSERT_EQ(page.enteredFreed.load(), 0) << "round " << round;
    ASSERT_EQ(page.calls.load(), callsAtClear) << "round " << round;
  }
}

INSTANTIATE_TEST_SUITE_P(Both, NotifyCallbacks, ::testing::ValuesIn(kRows),
                         [](const auto& p) { return std::string(p.param.name); });

// A stop, or the next start, returns once the kept event callback's call on another host thread
// has ended; the stop keeps the pair for the events a stopped camera raises, the start replaces it.
TEST(StartsEvent, AStopOrTheNextStartWaitsForTheCallElsewhere) {
  for (const bool byStart : {false, true}) {
    SCOPED_TRACE(byStart ? "the next start" : "the stop");
    FakeModel cam;
    struct Held {
      std::atomic<int> calls{0};
      std::atomic<bool> inside{false}, left{false};
    } held;
    const LumorixEventCallback slow = [](uint32_t code, void* x) {
      auto& h = *static_cast<Held*>(x);
      if (code != kRowEvent || h.calls++ != 0) return;
      h.inside = true;
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      h.left = true;
    };
    ASSERT_EQ(restartPulling(cam, slow, &held), S_OK);
    if (byStart) {
      ASSERT_EQ(cam.stop(), S_OK);
    }
    std::thread host([&] { EventSink(cam).raise(kRowEvent); });  // as a host's own setter does
    EXPECT_TRUE(waitFor([&] { return held.inside.load(); }));
    EXPECT_EQ(byStart ? cam.start(nullptr, nullptr, nullptr, nullptr, nullptr, noEvent, nullptr)
                      : cam.stop(),
              S_OK);
    EXPECT_TRUE(held.left) << "returned while the event callback ran on another thread";
    host.join();
    EventSink(cam).raise(kRowEvent);
    EXPECT_EQ(held.calls.load(), byStart ? 1 : 2) << "the pair after it";
    cam.stop();
  }
}

// Three threads over three slots of their own, a control lock, a pipeline state lock and stream
// claims. Each may take the control lock, share the state or hold a claim first, sits inside a
// call of one slot's pair or of none, then in turn (2, 1, 0) holds until let go, clears a slot,
// joins a thread as a stop does (in the wait table, then waiting for that thread to finish),
// blocks on the control lock, rebuilds the state, or waits for the claims to end as a stop does.
// Thread 0's clear waits for the calls of its slot unless their thread waits, directly or through
// other waiting threads, for thread 0.
enum Slot { kOutside = -1, kP, kQ, kR };
enum class Does { Hold, Clear, Join, Lock, Rebuild, AwaitClaims };
enum class Holds { Nothing, Control, State, Claim };
struct Part {
  int inside;  // a Slot
  Does does;
  int target;                    // the slot cleared or the thread joined
  Holds holds = Holds::Nothing;  // taken before the call, let go after it
};
struct ThreeThreadRow {
  const char* name;
  Part parts[3];
  bool waits;  // thread 0's clear returns only once the held threads are let go
};

void PrintTo(const ThreeThreadRow& row, std::ostream* os) {
  *os << row.name;
}

constexpr Part kHold{kP, Does::Hold, 0};
const ThreeThreadRow kThreeThreadRows[] = {
    {"callHeld", {{kOutside, Does::Clear, kP}, kHold, {kQ, Does::Hold, 0}}, true},
    {"chain", {{kOutside, Does::Clear, kP}, {kP, Does::Clear, kQ}, {kQ, Does::Hold, 0}}, true},
    {"chainFromACall", {{kR, Does::Clear, kP}, {kP, Does::Clear, kQ}, {kQ, Does::Hold, 0}}, true},
    {"cycle", {{kR, Does::Clear, kP}, {kP, Does::Clear, kQ}, {kQ, Does::Clear, kR}}, false},
    {"joinOfTheSetter", {{kOutside, Does::Clear, kQ}, kHold, {kQ, Does::Join, 0}}, false},
    {"joinOfAnother", {{kOutside, Does::Clear, kQ}, kHold, {kQ, Does::Join, 1}}, true},
    {"joinThroughAJoin",
     {{kOutside, Does::Clear, kQ}, {kOutside, Does::Join, 0}, {kQ, Does::Join, 1}},
     false},
    {"joinThroughASet", {{kR, Does::Clear, kQ}, {kP, Does::Clear, kR}, {kQ, Does::Join, 1}}, false},
    {"joinClosingASetsCycle",
     {{kOutside, Does::Clear, kQ}, {kP, Does::Join, 2}, {kQ, Does::Clear, kP}},
     false},
    {"lockHeldByAnIdleThread",
     {{kOutside, Does::Clear, kQ}, {kQ, Does::Lock, 0}, {kP, Does::Hold, 0, Holds::Control}},
     true},
    {"lockChainToAJoinOfTheSetter",
     {{kR, Does::Clear, kQ}, {kQ, Does::Lock, 0}, {kOutside, Does::Join, 0, Holds::Control}},
     false},
    {"lockCycleThroughTheSetter",
     {{kR, Does::Clear, kQ, Holds::Control}, {kQ, Does::Lock, 0}, kHold},
     false},
    // A conversion's host hook sets a slot, its state shared, beside a restart's rebuild.
    {"rebuildWaitingForTheSettersHold",
     {{kR, Does::Clear, kQ, Holds::State}, {kQ, Does::Rebuild, 0}, kHold},
     false},
    {"rebuildWaitingForAnIdleReader",
     {{kOutside, Does::Clear, kQ}, {kQ, Does::Rebuild, 0}, {kP, Does::Hold, 0, Holds::State}},
     true},
    {"rebuildThroughAJoinOfTheSetter",
     {{kR, Does::Clear, kQ}, {kQ, Does::Rebuild, 0}, {kOutside, Does::Join, 0, Holds::State}},
     false},
    // A pin's conversion sets a slot under its claim, beside a stop waiting for the claims.
    {"claimsAwaitedFromTheSetter",
     {{kR, Does::Clear, kQ, Holds::Claim}, {kQ, Does::AwaitClaims, 0}, kHold},
     false},
    {"claimsAwaitedFromAnIdleHolder",
     {{kOutside, Does::Clear, kQ}, {kQ, Does::AwaitClaims, 0}, {kP, Does::Hold, 0, Holds::Claim}},
     true},
};

constexpr int kBoundMs = 5000;   // a hang, for the test; threads let go on their own later
constexpr int kSettleMs = 20;    // between turns: a set that waits is in the table
constexpr int kWaitingMs = 200;  // how long a waiting clear is seen to wait
constexpr int kPromptMs = 250;   // from a call's end to the clear that waited for it returning
constexpr int kLetGoMs = 4 * kBoundMs;

int64_t nowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

struct ThreeThreads {
  explicit ThreeThreads(const ThreeThreadRow& r) : row(r) {
    for (NotifySlot& slot : slots) slot.set(&inside, this);
    claims.open();
  }
  const ThreeThreadRow& row;
  NotifySlot slots[3];
  std::atomic<uint32_t> ids[3] = {};
  ControlLock control;
  PLStateLock state;
  StreamClaims claims;
  std::atomic<int> turn{3}, in{0}, ready{0};
  std::atomic<bool> letGo{false}, finished[3] = {};
  std::atomic<int64_t> leftAt[3] = {}, clearedAt{0};
  static thread_local int self;

  static void inside(void* context) {
    auto& t = *static_cast<ThreeThreads*>(context);
    ++t.in;
    t.act(self);
    t.leftAt[self] = nowMs();
  }
  void act(int i) {
    waitFor([&] { return turn <= i; }, kLetGoMs);
    const Part& part = row.parts[i];
    if (part.does == Does::Hold) waitFor([&] { return letGo.load(); }, kLetGoMs);
    if (part.does == Does::Clear) slots[part.target].set(nullptr, nullptr);
    if (part.does == Does::Join) {
      const WaitGraph::Join joining(platform::currentThreadId(), {ids[part.target].load()});
      waitFor([&] { return finished[part.target].load(); }, kLetGoMs);
    }
    if (part.does == Does::Lock) std::lock_guard<ControlLock> taken(control);
    if (part.does == Does::Rebuild) std::lock_guard<PLStateLock> rebuilding(state);
    if (part.does == Does::AwaitClaims) claims.waitIdle(kLetGoMs);
    if (i == 0) clearedAt = nowMs();
  }
  void run(int i) {
    self = i;
    ids[i] = platform::currentThreadId();
    waitFor([&] { return ids[0] && ids[1] && ids[2]; }, kLetGoMs);
    const Holds holds = row.parts[i].holds;
    std::unique_lock<ControlLock> held(control, std::defer_lock);
    if (holds == Holds::Control) held.lock();
    std::shared_lock<PLStateLock> shared(state, std::defer_lock);
    if (holds == Holds::State) shared.lock();
    std::optional<StreamClaim> claim;
    if (holds == Holds::Claim) claim.emplace(claims);
    ++ready;
    if (row.parts[i].inside == kOutside)
      act(i);
    else
      slots[row.parts[i].inside].call();
    claim.reset();
    if (shared) shared.unlock();
    if (held) held.unlock();
    finished[i] = true;
  }
};
thread_local int ThreeThreads::self = 0;

class SetsAndJoins : public ::testing::TestWithParam<ThreeThreadRow> {};

// Each hang fails the row, naming the thread, and lets its threads go on alone.
TEST_P(SetsAndJoins, TheLastClearWaitsUnlessItWouldWaitForItself) {
  const auto t = std::make_shared<ThreeThreads>(GetParam());
  std::thread threads[3];
  for (int i = 0; i < 3; ++i) threads[i] = std::thread([t, i] { t->run(i); });
  for (std::thread& thread : threads) thread.detach();
  int calls = 0;
  for (const Part& part : GetParam().parts) calls += part.inside != kOutside;
  ASSERT_TRUE(waitFor([&] { return t->in == calls && t->ready == 3; }, kBoundMs))
      << "not all inside the calls";
  for (int i = 2; i >= 0; --i) {
    t->turn = i;
    std::this_thread::sleep_for(std::chrono::milliseconds(kSettleMs));
  }
  const bool returnedHeld =
      waitFor([&] { return t->clearedAt != 0; }, GetParam().waits ? kWaitingMs : kBoundMs);
  t->letGo = true;
  EXPECT_EQ(returnedHeld, !GetParam().waits)
      << (GetParam().waits ? "thread 0's clear returned while a call it waits for was held"
                           : "thread 0's clear waits for a thread that waits for it");
  const auto all = [&] { return t->finished[0] && t->finished[1] && t->finished[2]; };
  const bool allFinished = waitFor(all, kBoundMs);
  const char* const kDoes[] = {"hold", "clear", "join", "lock", "rebuild", "wait for the claims"};
  for (int i = 0; i < 3 && !allFinished; ++i)
    EXPECT_TRUE(t->finished[i]) << "thread " << i << " hung in its "
                                << kDoes[int(GetParam().parts[i].does)];
  ASSERT_TRUE(allFinished);
  const int cleared = GetParam().parts[0].target;
  for (int i = 1; i < 3 && GetParam().waits; ++i) {
    if (GetParam().parts[i].inside != cleared) continue;
    EXPECT_GE(t->clearedAt.load(), t->leftAt[i].load())
        << "thread " << i << "'s call outlived the clear";
    EXPECT_LT(t->clearedAt - t->leftAt[i], kPromptMs)
        << "the clear was slow to see thread " << i << "'s call end";
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, SetsAndJoins, ::testing::ValuesIn(kThreeThreadRows),
                         [](const auto& p) { return std::string(p.param.name); });

void ignoreData(const uint8_t*, const LumorixFrameHeader*, int32_t, void*) {}

template <int Tag>
void rawData(const uint8_t*, const SensorRect*, uint8_t, void* context) {
  Page::tagged(context, Tag);
}

template <int Tag>
void error(int32_t, void* context) {
  Page::tagged(context, Tag);
}

template <int Tag>
void tempTint(int32_t, int32_t, void* context) {
  Page::tagged(context, Tag);
}

template <int Tag>
void demosaic(uint32_t, int32_t, int32_t, const void*, void*, uint8_t, void* context) {
  Page::tagged(context, Tag);
}

template <int Tag>
void histogram(const uint32_t*, uint32_t, void* context) {
  Page::tagged(context, Tag);
}

constexpr uint32_t kStatsEveryFrame = 2;  // a request without the one-shot bit

template <int Tag>
void stats(const float*, const float*, const float*, const float*, void* context) {
  Page::tagged(context, Tag);
}

// Callbacks a running stream calls; tag 0 clears, 1 and 2 choose one of two callbacks.
struct StreamedRow {
  const char* name;
  HRESULT (*put)(BaseImpl& cam, int tag, void* context);
  void (*prepare)(FakeModel& cam);  // makes every grab call the callback
  FakeModelConfig config;
};

void PrintTo(const StreamedRow& row, std::ostream* os) {
  *os << row.name;
}

const StreamedRow kStreamedRows[] = {
    {"rawData",
     [](BaseImpl& c, int tag, void* x) {
       return c.put_RawDataCallback(tag == 0 ? nullptr : tag == 1 ? rawData<1> : rawData<2>, x);
     },
     [](FakeModel&) {}, FakeModelConfig{}},
    {"error",
     [](BaseImpl& c, int tag, void* x) {
       return c.put_ErrorCallback(tag == 0 ? nullptr : tag == 1 ? error<1> : error<2>, x);
     },
     [](FakeModel& c) { c.idleResult = kGrabTransferError; }, FakeModelConfig{}},
    // The one-push balances: each set asks the next converted frame to call back.
    {"whiteBalance",
     [](BaseImpl& c, int tag, void* x) {
       return c.AwbOnePush(tag == 0 ? nullptr : tag == 1 ? tempTint<1> : tempTint<2>, x);
     },
     [](FakeModel&) {}, FakeModelConfig{.withState = true}},
    {"awbInit",
     [](BaseImpl& c, int tag, void* x) {
       return c.AwbInit(tag == 0 ? nullptr : tag == 1 ? error<1> : error<2>, x);
     },
     [](FakeModel&) {}, FakeModelConfig{.withState = true, .wbTempTint = 0}},
    {"blackBalance",
     [](BaseImpl& c, int tag, void* x) {
       return c.AbbOnePush(tag == 0 ? nullptr : tag == 1 ? error<1> : error<2>, x);
     },
     [](FakeModel&) {}, FakeModelConfig{.withState = true}},
    // The host's hooks and statistics, called by the real frame driver on the fill-buffer thread.
    {"demosaicHook",
     [](BaseImpl& c, int tag, void* x) {
       return c.put_DemosaicCallback(tag == 0 ? nullptr : tag == 1 ? demosaic<1> : demosaic<2>, x);
     },
     [](FakeModel&) {}, FakeModelConfig{.withState = true}},
    {"histogramHook",
     [](BaseImpl& c, int tag, void* x) {
       return c.put_HistogramCallback(tag == 0   ? nullptr
                                      : tag == 1 ? histogram<1>
                                                 : histogram<2>,
                                      x);
     },
     [](FakeModel&) {}, FakeModelConfig{.withState = true}},
    {"statistics",
     [](BaseImpl& c, int tag, void* x) {
       return c.GetHistogramEx(tag == 0   ? nullptr
                               : tag == 1 ? stats<1>
                                          : stats<2>,
                               x, kStatsEveryFrame);
     },
     [](FakeModel&) {}, FakeModelConfig{.withState = true}},
};

class StreamedCallbacks : public ::testing::TestWithParam<StreamedRow> {
 protected:
  void SetUp() override {
    GetParam().prepare(cam_);
    ASSERT_EQ(cam_.start(ignoreData), S_OK);
  }
  void TearDown() override { cam_.stop(); }
  FakeModel cam_{GetParam().config};
};

// A host swaps between two callbacks and clears while the stream calls: each call pairs a
// callback with its own context, and none starts or still runs once the clear returned.
TEST_P(StreamedCallbacks, PairsStayWholeAndAClearWaits) {
  for (int round = 0; round < 20; ++round) {
    Page first{&cam_}, second{&cam_};
    first.tag = 1;
    second.tag = 2;
    ASSERT_EQ(GetParam().put(cam_, 1, &first), S_OK);
    ASSERT_TRUE(waitFor([&] { return first.calls.load() > 0; })) << "round " << round;
    for (int swap = 0; swap < 20; ++swap) {
      ASSERT_EQ(GetParam().put(cam_, 2, &second), S_OK);
      first.holdOne = swap == 19;  // the clear comes while a call is inside
      ASSERT_EQ(GetParam().put(cam_, 1, &first), S_OK);
    }
    ASSERT_TRUE(waitFor([&] { return first.heldInside.load(); })) << "round " << round;
    first.clearing = true;
    ASSERT_EQ(GetParam().put(cam_, 0, nullptr), S_OK);
    first.freed = second.freed = true;
    const int callsAtClear = first.calls.load() + second.calls.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(3));  // a few more grabs
    ASSERT_TRUE(waitFor([&] { return first.heldLeft.load(); })) << "round " << round;
    ASSERT_EQ(first.enteredFreed.load() + second.enteredFreed.load(), 0) << "round " << round;
    ASSERT_EQ(first.calls.load() + second.calls.load(), callsAtClear) << "round " << round;
    ASSERT_EQ(first.torn.load() + second.torn.load(), 0) << "round " << round;
  }
}

INSTANTIATE_TEST_SUITE_P(Both, StreamedCallbacks, ::testing::ValuesIn(kStreamedRows),
                         [](const auto& p) { return std::string(p.param.name); });

// A host thread that pulls the pin's next frame, or snaps the pin's still, from inside its own
// exposure callback waits for the grabber; the grabber's set from the error callback must not
// wait for that call.
struct GrabberWaitRow {
  const char* name;
  void (*call)(BaseImpl& cam);  // what the host's callback waits in
};

void PrintTo(const GrabberWaitRow& row, std::ostream* os) {
  *os << row.name;
}

const GrabberWaitRow kGrabberWaitRows[] = {
    {"pull",
     [](BaseImpl& c) {
       uint8_t pixel[3];
       c.PullFrameForPin(pixel, sizeof pixel, nullptr);
     }},
    {"snap",
     [](BaseImpl& c) {
       std::vector<uint8_t> still(size_t{1} << 24);
       c.SnapForPin(still.data(), uint32_t(still.size()), nullptr);
     }},
};

class GrabberSets : public ::testing::TestWithParam<GrabberWaitRow> {};

TEST_P(GrabberSets, ASetOnTheGrabberSkipsTheCallOfAHostWaitingForItInside) {
  struct Host {
    FakeModel cam;
    const GrabberWaitRow* row = &GetParam();
    std::atomic<bool> inside{false}, called{false}, setReturned{false};
  } h;
  h.cam.script({{GrabStep::Result, kGrabTransferError}});  // no frame until the error returns
  ASSERT_EQ(h.cam.put_ErrorCallback(
                [](int32_t, void* c) {
                  auto& host = *static_cast<Host*>(c);
                  waitFor([&] { return host.inside.load(); }, kBoundMs);
                  host.cam.put_ExpoCallback(nullptr, nullptr);
                  host.setReturned = true;
                },
                &h),
            S_OK);
  ASSERT_EQ(h.cam.start(), S_OK);  // pull mode: the pin takes the grabbed records
  h.cam.put_ExpoCallback(
      [](void* c) {
        auto& host = *static_cast<Host*>(c);
        host.inside = true;
        host.row->call(host.cam);
        host.called = true;
      },
      &h);
  std::thread raising([&] { h.cam.OnExposureChanged(); });  // as a host's own setter raises it
  waitFor([&] { return h.setReturned && h.called; }, kBoundMs);
  EXPECT_TRUE(h.setReturned) << "the grabber hung in its set";
  EXPECT_TRUE(h.called) << "the host thread hung in its " << GetParam().name;
  h.cam.stop();  // ends a hang too: the pull and the snap see the stop event
  raising.join();
}

INSTANTIATE_TEST_SUITE_P(Rows, GrabberSets, ::testing::ValuesIn(kGrabberWaitRows),
                         [](const auto& p) { return std::string(p.param.name); });

}  // namespace
