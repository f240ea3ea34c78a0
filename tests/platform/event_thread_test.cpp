// Event and thread semantics that every camera thread relies on.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include <string>
#endif

#include "platform/clock.h"
#include "platform/event.h"
#include "platform/thread.h"

using platform::Event;
using platform::Thread;
using platform::WaitAny;
using platform::WaitStatus;

namespace {

constexpr uint32_t kLong = 5000;  // generous: only reached when something is broken

// A set before the wait is kept (also when made set); auto-reset consumes it, however often set.
TEST(Event, SetBeforeWaitIsKeptAndAutoResetConsumesIt) {
  for (auto kind : {Event::Kind::AutoReset, Event::Kind::ManualReset}) {
    for (bool initiallySet : {false, true}) {
      Event e(kind, initiallySet);
      if (!initiallySet) e.set(), e.set();
      EXPECT_TRUE(e.wait(0));
      EXPECT_EQ(e.wait(0), kind == Event::Kind::ManualReset);
      e.reset();
      EXPECT_FALSE(e.wait(0));
    }
  }
}

// The lowest signalled index wins and only it is consumed; a manual-reset event stays signalled,
// so it wins every wait while the auto-reset one behind it is never consumed.
TEST(WaitAny, LowestSignalledIndexWinsAndOnlyItIsConsumed) {
  Event a(Event::Kind::AutoReset), b(Event::Kind::AutoReset), c(Event::Kind::AutoReset);
  Event stop(Event::Kind::ManualReset);
  b.set();
  c.set();
  for (uint32_t expected : {1u, 2u}) EXPECT_EQ(WaitAny({&a, &b, &c}, 0).index, expected);
  EXPECT_EQ(WaitAny({&a, &b, &c}, 0).status, WaitStatus::Timeout);
  stop.set();
  c.set();
  for (int i = 0; i < 3; ++i) EXPECT_EQ(WaitAny({&stop, &c}, 0).index, 0u);
  EXPECT_EQ(WaitAny({&c}, 0).status, WaitStatus::Signalled);
}

TEST(WaitAnyAll, TimeoutIsHonouredAndToldApartFromFailure) {
  Event a;
  const uint32_t start = platform::TickCountMs();
  EXPECT_EQ(WaitAny({&a}, 60).status, WaitStatus::Timeout);
  const uint32_t spent = platform::TickCountMs() - start;
  EXPECT_GE(spent, 40u);  // tick granularity on Windows is ~16 ms
  EXPECT_LT(spent, 3000u);
  EXPECT_EQ(WaitAny(std::span<Event* const>(), 0).status, WaitStatus::Failed);
  Event* none = nullptr;
  EXPECT_EQ(WaitAny({none}, 0).status, WaitStatus::Failed);
  // WaitAll waits for each in turn under one deadline.
  Event set(Event::Kind::ManualReset, true), b(Event::Kind::AutoReset);
  Event* both[] = {&set, &b};
  EXPECT_EQ(platform::WaitAll(both, 30), WaitStatus::Timeout);
  b.set();
  EXPECT_EQ(platform::WaitAll(both, kLong), WaitStatus::Signalled);
}

TEST(WaitAny, TwentySevenHandles) {
  std::vector<std::unique_ptr<Event>> events;
  std::vector<Event*> raw;
  for (int i = 0; i < 27; ++i) {
    events.push_back(std::make_unique<Event>(Event::Kind::AutoReset));
    raw.push_back(events.back().get());
  }
  Thread t;
  ASSERT_TRUE(t.start([&] {
    platform::SleepMs(20);
    events[26]->set();
  }));
  const auto r = WaitAny(raw, kLong);
  ASSERT_EQ(r.status, WaitStatus::Signalled);
  EXPECT_EQ(r.index, 26u);
  EXPECT_TRUE(t.join(kLong));
}

TEST(WaitAny, ManualResetReleasesEveryWaiterUntilReset) {
  Event gate(Event::Kind::ManualReset);
  std::atomic<int> released{0};
  std::vector<std::unique_ptr<Thread>> threads;
  for (int i = 0; i < 4; ++i) {
    threads.push_back(std::make_unique<Thread>());
    ASSERT_TRUE(threads.back()->start([&] {
      if (gate.wait(kLong)) ++released;
    }));
  }
  gate.set();
  for (auto& t : threads) EXPECT_TRUE(t->join(kLong));
  EXPECT_EQ(released.load(), 4);
  gate.reset();
  EXPECT_FALSE(gate.wait(0));
}

TEST(Thread, SuspendedThreadWaitsForResumeAndItsIdIsReadableFirst) {
  std::atomic<uint32_t> seenId{0};
  std::atomic<bool> ran{false};
  Thread t;
  ASSERT_TRUE(t.start(
      [&] {
        seenId = platform::currentThreadId();
        ran = true;
      },
      /*suspended=*/true));
  const uint32_t id = t.id();
  EXPECT_NE(id, 0u);
  platform::SleepMs(30);
  EXPECT_FALSE(ran.load());
  EXPECT_TRUE(t.running());
  t.resume();
  EXPECT_TRUE(t.join(kLong));
  EXPECT_TRUE(ran.load());
  EXPECT_EQ(seenId.load(), id);
  EXPECT_FALSE(t.running());
  EXPECT_NE(platform::currentThreadId(), id);
}

// One thread per object; join times out while it runs; a thread never resumed never runs.
TEST(Thread, JoinTimesOutWhileRunningAndANeverResumedThreadNeverRuns) {
  Event release(Event::Kind::ManualReset);
  Thread t;
  ASSERT_TRUE(t.start([&] { release.wait(kLong); }));
  EXPECT_FALSE(t.start([] {}));
  EXPECT_FALSE(t.join(20));
  release.set();
  EXPECT_TRUE(t.join(kLong));
  std::atomic<bool> ran{false};
  {
    Thread suspended;
    ASSERT_TRUE(suspended.start([&] { ran = true; }, true));
  }
  EXPECT_FALSE(ran.load());
}

#ifdef _WIN32
// A DLL unloaded while its detached thread still runs stays loaded until the thread has ended;
// then it goes. Unmapped under the thread, the thread would crash once released, so it is left
// waiting when the DLL is gone too early.
TEST(Thread, RunningThreadKeepsItsModuleLoaded) {
  wchar_t exe[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring path(exe);
  path = path.substr(0, path.find_last_of(L"\\/") + 1) + L"thread_probe.dll";
  HMODULE probe = LoadLibraryW(path.c_str());
  ASSERT_TRUE(probe) << "thread_probe.dll beside the test";
  auto start = reinterpret_cast<BOOL(WINAPI*)(HANDLE)>(
      reinterpret_cast<void*>(GetProcAddress(probe, "StartLingeringThread")));
  ASSERT_TRUE(start);
  HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_TRUE(start(release));
  FreeLibrary(probe);
  ASSERT_TRUE(GetModuleHandleW(L"thread_probe.dll")) << "unloaded under its running thread";
  SetEvent(release);
  const ULONGLONG begin = GetTickCount64();
  while (GetModuleHandleW(L"thread_probe.dll") && GetTickCount64() - begin < kLong) Sleep(5);
  EXPECT_FALSE(GetModuleHandleW(L"thread_probe.dll")) << "still loaded after its thread ended";
  CloseHandle(release);
}
#endif

}  // namespace
