// The exposure and colour/grey notification callbacks, and the raw-data, error and one-push
// balance callbacks a stream calls, on the fake model: set and cleared as one pair, called with
// their context on another thread, never entered once a clear returns, and a set made inside a
// call waiting for another thread's call unless that thread waits in a set in turn.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <ostream>
#include <thread>

#include "tests/core/stream/stream_test_support.h"
#include "tests/support/fake_model.h"

namespace {

using zxstream::waitFor;

struct CallbackRow {
  const char* name;
  HRESULT (*put)(BaseImpl& cam, LumorixNotifyCallback callback, void* context);
  void (*raise)(BaseImpl& cam);  // what the pipeline calls when the value changes
};

void PrintTo(const CallbackRow& row, std::ostream* os) {
  *os << row.name;
}

const CallbackRow kRows[] = {
    {"exposure",
     [](BaseImpl& c, LumorixNotifyCallback f, void* x) { return c.put_ExpoCallback(f, x); },
     [](BaseImpl& c) { c.OnExposureChanged(); }},
    {"chrome",
     [](BaseImpl& c, LumorixNotifyCallback f, void* x) { return c.put_ChromeCallback(f, x); },
     [](BaseImpl& c) { c.OnChromeChanged(); }},
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

  static void notify(void* context) {
    Page& p = *static_cast<Page*>(context);
    if (p.freed) ++p.enteredFreed;
    ++p.calls;
    ++p.arrived;
    if (p.meeting != &p.arrived) ++*p.meeting;
    if (p.meetInside > 0) waitFor([&] { return p.meeting->load() >= p.meetInside; }, 2000);
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
  }
  static void tagged(void* context, int tag) {
    if (static_cast<Page*>(context)->tag != tag) ++static_cast<Page*>(context)->torn;
    notify(context);
  }
};

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

class NotifyCallbacks : public ::testing::TestWithParam<CallbackRow> {
 protected:
  FakeModel cam_;
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
  for (int round = 0; round < 200; ++round) {
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
      ASSERT_EQ(GetParam().put(cam_, 1, &first), S_OK);
    }
    ASSERT_EQ(GetParam().put(cam_, 0, nullptr), S_OK);
    first.freed = second.freed = true;
    const int callsAtClear = first.calls.load() + second.calls.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(3));  // a few more grabs
    ASSERT_EQ(first.enteredFreed.load() + second.enteredFreed.load(), 0) << "round " << round;
    ASSERT_EQ(first.calls.load() + second.calls.load(), callsAtClear) << "round " << round;
    ASSERT_EQ(first.torn.load() + second.torn.load(), 0) << "round " << round;
  }
}

INSTANTIATE_TEST_SUITE_P(Both, StreamedCallbacks, ::testing::ValuesIn(kStreamedRows),
                         [](const auto& p) { return std::string(p.param.name); });

}  // namespace
