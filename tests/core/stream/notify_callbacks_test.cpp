// The exposure and colour/grey notification callbacks on the fake model: set and cleared as one
// pair, called with their context on a pipeline thread, and never entered once a clear returns.
#include <gtest/gtest.h>

#include <atomic>
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

  static void notify(void* context) {
    Page& p = *static_cast<Page*>(context);
    if (p.freed) ++p.enteredFreed;
    ++p.calls;
    if (p.clearInside) p.insideResult = p.row->put(*p.cam, nullptr, nullptr);
    std::this_thread::yield();  // widens the window a clear must wait through
    if (p.freed) ++p.enteredFreed;
  }
};

void raiseOnAnotherThread(BaseImpl& cam, const CallbackRow& row) {
  std::thread pipeline([&] { row.raise(cam); });
  pipeline.join();
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

}  // namespace
