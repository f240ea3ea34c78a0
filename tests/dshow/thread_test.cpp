// CAMThread's command protocol and the request event a camera waits on, and what the camera's
// wait table sees of the base layer's locks and joins.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <thread>

#include "core/stream/wait_graph.h"
#include "dshow/base/camevent.h"
#include "dshow/base/camthread.h"
#include "dshow/base/ccritsec.h"
#include "platform/event.h"

namespace {

// Any other command is a number to double (5 among them).
enum : DWORD { kExit = 0, kDouble = 1, kHold = 2, kVanish = 3, kBusy = 4, kLinger = 6 };

// Whether a set on `self` would wait for a call on `thread`: not once `thread` waits, through the
// table, for `self`. Looks again on each change of the table until boundMs has passed.
bool setWaitsFor(DWORD self, DWORD thread, DWORD boundMs) {
  platform::Event wake(platform::Event::Kind::AutoReset);
  WaitGraph::SetWait set(self, wake);
  const uint64_t call = WaitGraph::newCallId();
  const DWORD begin = GetTickCount();
  bool waits = true;
  while ((waits = set.waitsFor({{thread, call}})) && GetTickCount() - begin < boundMs)
    wake.wait(50);
  WaitGraph::callEnded(call);
  return waits;
}

class Worker : public CAMThread {
 public:
  CAMEvent holding{TRUE};
  CAMEvent letGo{TRUE};
  std::atomic<bool> stillPending{false};
  std::atomic<int> doubled{0};
  CAMEvent closing{TRUE};
  std::atomic<DWORD> closer{0};
  std::atomic<bool> waitedForCloser{false};

 protected:
  DWORD ThreadProc() override {
    for (;;) {
      const DWORD command = GetRequest();
      switch (command) {
        case kExit:
          Reply(0);
          return 0;
        case kHold:
          holding.Set();
          letGo.Wait(5000);
          // Someone else's wait on the request handle did not take the command away.
          stillPending = CheckRequest(nullptr) != FALSE;
          Reply(kHold);
          break;
        case kVanish:
          return 1;  // ends without replying
        case kBusy:
          // Answers, then works without looking at requests, as a pin stuck in delivery.
          Reply(kBusy);
          letGo.Wait(5000);
          break;
        case kLinger:
          // Answers, then sets as a camera's stop might once the caller has left its wait for the
          // answer (a join of its own) to close the thread.
          Reply(kLinger);
          closing.Wait(5000);
          waitedForCloser = setWaitsFor(GetCurrentThreadId(), closer, 5000);
          return 0;
        default:
          ++doubled;
          Reply(GetRequestParam() * 2);
          break;
      }
    }
  }
};

TEST(CAMThreadTest, AnswersCommandsOneAtATime) {
  Worker worker;
  EXPECT_EQ(worker.CallWorker(kDouble), static_cast<DWORD>(E_FAIL));  // no thread yet
  ASSERT_TRUE(worker.Create());
  EXPECT_FALSE(worker.Create());
  EXPECT_EQ(worker.CallWorker(21), 42u);
  EXPECT_EQ(worker.CallWorker(kExit), 0u);
  worker.Close();
  EXPECT_FALSE(worker.ThreadExists());
  worker.Close();  // harmless twice
  EXPECT_EQ(worker.CallWorker(kDouble), static_cast<DWORD>(E_FAIL));
  // A thread can be made again after the last one was joined.
  ASSERT_TRUE(worker.Create());
  EXPECT_EQ(worker.CallWorker(5), 10u);
  // A worker ending without an answer does not hang its caller.
  EXPECT_EQ(worker.CallWorker(kVanish), static_cast<DWORD>(E_FAIL));
  worker.Close();
  EXPECT_FALSE(worker.ThreadExists());
  // A worker still acting after its last answer: the closer's wait is a join of it in the table.
  ASSERT_TRUE(worker.Create());
  worker.closer = GetCurrentThreadId();
  EXPECT_EQ(worker.CallWorker(kLinger), DWORD{kLinger});
  worker.closing.Set();
  worker.Close();
  EXPECT_FALSE(worker.waitedForCloser) << "the worker's set waited 5 s for the thread closing it";
}

TEST(CAMThreadTest, RequestEventSurvivesAForeignWait) {
  Worker worker;
  ASSERT_TRUE(worker.Create());
  DWORD answer = 0;
  std::thread caller([&] { answer = worker.CallWorker(kHold); });
  ASSERT_TRUE(worker.holding.Wait(2000));
  // A camera waits on the request handle with its own events: twice, and it stays signalled.
  CAMEvent frame;
  HANDLE handles[2] = {frame, worker.GetRequestHandle()};
  EXPECT_EQ(WaitForMultipleObjects(2, handles, FALSE, 1000), WAIT_OBJECT_0 + 1);
  EXPECT_EQ(WaitForMultipleObjects(2, handles, FALSE, 1000), WAIT_OBJECT_0 + 1);
  worker.letGo.Set();
  caller.join();
  EXPECT_EQ(answer, static_cast<DWORD>(kHold));
  EXPECT_TRUE(worker.stillPending);
  // Answered commands are no longer pending.
  EXPECT_EQ(WaitForSingleObject(worker.GetRequestHandle(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
  worker.CallWorker(kExit);
}

// A bounded call answers as the plain one when the worker is free; a worker busy elsewhere has
// the request withdrawn, never acts on it late, and takes the next caller's command.
TEST(CAMThreadTest, BoundedCallWithdrawsWhatTheWorkerDidNotTake) {
  struct Case {
    bool busy;
    DWORD expected;
    int doubledAfterLetGo;
  } const cases[] = {
      {false, 42u, 2},
      {true, CAMThread::kCallTimedOut, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.busy);
    Worker worker;
    ASSERT_TRUE(worker.Create());
    if (c.busy) {
      ASSERT_EQ(worker.CallWorker(kBusy), static_cast<DWORD>(kBusy));
    }
    const DWORD begin = GetTickCount();
    EXPECT_EQ(worker.CallWorkerWithin(21, 300), c.expected);
    EXPECT_LT(GetTickCount() - begin, 2000u);
    worker.letGo.Set();
    Sleep(100);  // time for a request left behind to be taken late
    EXPECT_EQ(worker.CallWorkerWithin(5, 2000), 10u);
    EXPECT_EQ(worker.doubled.load(), c.doubledAfterLetGo);
    EXPECT_EQ(worker.CallWorker(kExit), 0u);
  }
}

// A thread blocked on a lock waits for its holder until the holder's outermost unlock.
TEST(CCritSecTest, ANestedHoldLastsUntilTheOuterUnlock) {
  constexpr DWORD kBlocked = 0xE0000001u, kJoined = 0xE0000002u;  // made-up threads
  struct Case {
    int locks, unlocks;
    bool held;
  } const cases[] = {{2, 1, true}, {2, 2, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.locks << " locks, " << c.unlocks << " unlocks");
    CCritSec lock;
    for (int i = 0; i < c.locks; ++i) lock.Lock();
    for (int i = 0; i < c.unlocks; ++i) lock.Unlock();
    WaitGraph::Lock::blocking(&lock, kBlocked);
    {
      const WaitGraph::Join join(GetCurrentThreadId(), {kJoined});
      EXPECT_EQ(!setWaitsFor(kJoined, kBlocked, 0), c.held)
          << "whether the blocked thread waits for this one";
    }
    WaitGraph::Lock::unblocked(&lock, kBlocked);
    for (int i = c.unlocks; i < c.locks; ++i) lock.Unlock();
  }
}

TEST(CAMEventTest, AutoAndManualReset) {
  CAMEvent automatic;
  CAMEvent manual(TRUE);
  automatic.Set();
  manual.Set();
  EXPECT_TRUE(automatic.Check());
  EXPECT_FALSE(automatic.Check());
  EXPECT_TRUE(manual.Check());
  EXPECT_TRUE(manual.Check());
  manual.Reset();
  EXPECT_FALSE(manual.Wait(10));
}

}  // namespace
