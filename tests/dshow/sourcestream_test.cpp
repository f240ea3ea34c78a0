// CSourceStream's worker: filter states and commands, blocked fills and downstream, start failure.
#include <gtest/gtest.h>

#include <windows.h>
#include <dshow.h>

#include <thread>

#include "tests/dshow/support/source_sink_test.h"

namespace {

class SourceStreamTest : public SourceSinkTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(SourceSinkTest::SetUp());
    ASSERT_EQ(stream()->Connect(in(), nullptr), S_OK);
  }
  TestSourceStream* stream() { return out(); }
  int delivered() { return sink_->Pin()->samples.load(); }

  // True when samples keep arriving, false when none arrive for a while.
  bool Delivering() {
    const int before = delivered();
    for (int i = 0; i < 200; ++i) {
      if (delivered() >= before + 3) return true;
      Sleep(10);
    }
    return false;
  }
  bool Quiet() {
    Sleep(30);  // a sample already in flight may still land
    const int before = delivered();
    Sleep(150);
    return delivered() == before;
  }
  static bool ThreadEnded(DWORD id) {
    HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, id);
    if (!thread) return true;
    const bool ended = WaitForSingleObject(thread, 0) == WAIT_OBJECT_0;
    CloseHandle(thread);
    return ended;
  }
  HRESULT Enter(FILTER_STATE state) {
    return state == State_Stopped  ? source_->Stop()
           : state == State_Paused ? source_->Pause()
                                   : source_->Run(0);
  }
};

struct StateCase {
  FILTER_STATE from;
  FILTER_STATE to;
  bool thread;
  bool delivering;
};

const char* Name(FILTER_STATE s) {
  return s == State_Stopped ? "stopped" : s == State_Paused ? "paused" : "running";
}

TEST_F(SourceStreamTest, DeliversOnlyWhileRunning) {
  const StateCase cases[] = {
      {State_Stopped, State_Stopped, false, false},
      {State_Stopped, State_Paused, true, false},
      {State_Stopped, State_Running, true, true},
      {State_Paused, State_Stopped, false, false},
      {State_Paused, State_Paused, true, false},
      {State_Paused, State_Running, true, true},
      // A source is not told about running -> paused; downstream holds what it delivers.
      {State_Running, State_Stopped, false, false},
      {State_Running, State_Paused, true, true},
      {State_Running, State_Running, true, true},
  };
  for (const StateCase& c : cases) {
    SCOPED_TRACE(std::string(Name(c.from)) + " -> " + Name(c.to));
    ASSERT_EQ(Enter(c.from), S_OK);
    ASSERT_EQ(Enter(c.to), S_OK);
    FILTER_STATE state;
    EXPECT_EQ(source_->GetState(0, &state), S_OK);
    EXPECT_EQ(state, c.to);
    EXPECT_EQ(stream()->ThreadExists() != FALSE, c.thread);
    if (c.delivering) {
      EXPECT_TRUE(Delivering());
    } else {
      EXPECT_TRUE(Quiet());
    }
    if (c.to == State_Paused) {
      ASSERT_EQ(source_->Run(0), S_OK);
      EXPECT_TRUE(Delivering());
    }
    const DWORD worker = stream()->workerThreadId;
    ASSERT_EQ(source_->Stop(), S_OK);
    EXPECT_EQ(stream()->threadsCreated.load(), stream()->threadsDestroyed.load());
    EXPECT_TRUE(ThreadEnded(worker)) << "the exit joins the worker";
  }
}

TEST_F(SourceStreamTest, PauseCommandHoldsDeliveryUntilRun) {
  ASSERT_EQ(source_->Run(0), S_OK);
  ASSERT_TRUE(Delivering());
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    EXPECT_EQ(stream()->Pause(), S_OK);
    EXPECT_TRUE(Quiet());
    EXPECT_EQ(stream()->Run(0), S_OK);
    EXPECT_TRUE(Delivering());
  }
}

// A worker held in a fill, in downstream's Receive, or waiting for a buffer downstream keeps:
// which command must not wait for it, and what was delivered by then.
enum class Hold { Fill, Receive, Buffers };

struct HeldCase {
  const char* name;
  Hold hold;
  bool stop;             // else the graph pauses
  DWORD releaseAfterMs;  // the graph lets the sink go, as stopping it would, or sooner once the
                         // command has returned
  ULONGLONG promptMs;
  int delivered;
};

const HeldCase kHeldCases[] = {
    {"pause with a sample held downstream", Hold::Receive, false, 0, 500, 1},
    {"stop with a blocked fill", Hold::Fill, true, 0, 1000, 0},
    {"stop once downstream lets go", Hold::Receive, true, 200, 2000, 1},
    // Stopping decommits the allocator first, which ends the wait for a buffer; the late release
    // only keeps a stop that waits for the worker from hanging the test.
    {"stop with every buffer held downstream", Hold::Buffers, true, 3000, 1000, 2},
};

TEST_F(SourceStreamTest, CommandsDoNotWaitForAHeldWorker) {
  TestSinkPin* sink = sink_->Pin();
  for (const HeldCase& c : kHeldCases) {
    SCOPED_TRACE(c.name);
    if (c.hold == Hold::Fill) stream()->fill = TestSourceStream::Fill::BlockUntilCommand;
    sink->blockReceive = c.hold == Hold::Receive;
    sink->holdSamples = c.hold == Hold::Buffers;
    for (HANDLE e : {sink->releaseReceive, sink->receiving, stream()->fillEntered}) ResetEvent(e);
    ASSERT_EQ(source_->Run(0), S_OK);
    if (c.hold == Hold::Buffers) {
      for (int i = 0; i < 200 && delivered() < c.delivered; ++i) Sleep(10);
      Sleep(50);  // the worker goes on to wait for a third buffer
    } else {
      HANDLE entered = c.hold == Hold::Fill ? stream()->fillEntered : sink->receiving;
      ASSERT_EQ(WaitForSingleObject(entered, 2000), WAIT_OBJECT_0);
    }
    HANDLE returned = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread release([&] {
      if (!c.releaseAfterMs) return;
      WaitForSingleObject(returned, c.releaseAfterMs);
      SetEvent(sink->releaseReceive);
      sink->releaseHeld();
    });
    const ULONGLONG started = GetTickCount64();
    EXPECT_EQ(c.stop ? source_->Stop() : source_->Pause(), S_OK);
    EXPECT_LT(GetTickCount64() - started, c.promptMs);
    SetEvent(returned);
    EXPECT_EQ(delivered(), c.delivered);
    release.join();
    CloseHandle(returned);
    SetEvent(sink->releaseReceive);
    sink->releaseHeld();
    ASSERT_EQ(source_->Stop(), S_OK);
    EXPECT_FALSE(stream()->ThreadExists());
    stream()->fill = TestSourceStream::Fill::Frames;
    sink->samples = 0;
  }
}

TEST_F(SourceStreamTest, ThreadStartFailureLeavesNoThread) {
  stream()->createResult = E_ACCESSDENIED;
  EXPECT_EQ(source_->Pause(), E_ACCESSDENIED);
  EXPECT_FALSE(stream()->ThreadExists());
  EXPECT_TRUE(ThreadEnded(stream()->workerThreadId));
  EXPECT_EQ(stream()->threadsDestroyed.load(), 1);
  FILTER_STATE state;
  source_->GetState(0, &state);
  EXPECT_EQ(state, State_Stopped);
  // The allocator was given back: the next start works.
  stream()->createResult = S_OK;
  ASSERT_EQ(source_->Run(0), S_OK);
  EXPECT_TRUE(Delivering());
}

// An ended stream stays ended through a pause and run of its worker (a hold and its release)
// and of the filter; the next start of the filter delivers again.
TEST_F(SourceStreamTest, FailedFillEndsTheStreamUntilTheNextStart) {
  stream()->fill = TestSourceStream::Fill::Fail;
  ASSERT_EQ(source_->Run(0), S_OK);
  for (int i = 0; i < 200 && sink_->Pin()->endOfStreams.load() == 0; ++i) Sleep(10);
  EXPECT_EQ(sink_->Pin()->endOfStreams.load(), 1);
  EXPECT_EQ(delivered(), 0);
  stream()->fill = TestSourceStream::Fill::Frames;
  EXPECT_TRUE(stream()->StreamEnded());
  EXPECT_EQ(stream()->Pause(), S_OK);
  EXPECT_EQ(stream()->Run(0), S_OK);
  ASSERT_EQ(source_->Pause(), S_OK);
  ASSERT_EQ(source_->Run(0), S_OK);
  EXPECT_TRUE(Quiet());
  EXPECT_EQ(sink_->Pin()->endOfStreams.load(), 1);
  EXPECT_EQ(source_->Stop(), S_OK);
  ASSERT_EQ(source_->Run(0), S_OK);
  EXPECT_FALSE(stream()->StreamEnded());
  EXPECT_TRUE(Delivering());
  EXPECT_EQ(source_->Stop(), S_OK);
}

TEST_F(SourceStreamTest, PinWithoutThreadFailsCommands) {
  TestSourceStream* idle = source_->Stream(1);  // not connected, so never started
  EXPECT_EQ(idle->Pause(), E_FAIL);
  EXPECT_EQ(idle->Run(0), E_FAIL);
  EXPECT_EQ(idle->Active(), S_OK);  // nothing to start on an unconnected pin
  EXPECT_FALSE(source_->Stream(1)->ThreadExists());
}

}  // namespace
