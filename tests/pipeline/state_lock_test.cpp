// The pipeline state lock's per-thread hold table: nesting, and more locks than the table tracks.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <future>
#include <shared_mutex>
#include <thread>

#include "pipeline/pl_state_lock.h"

namespace {

constexpr auto kNoWait = std::chrono::seconds(5);

// True when another thread takes every lock exclusively within the bound: no reader is left.
template <size_t N>
bool AllFreeForAWriter(std::array<PLStateLock, N>& locks) {
  auto writer = std::async(std::launch::async, [&] {
    for (PLStateLock& lock : locks) std::unique_lock<PLStateLock> hold(lock);
  });
  return writer.wait_for(kNoWait) == std::future_status::ready;
}

TEST(PLStateLock, MoreLocksThanTheThreadTracksAreSharedNestedAndReleased) {
  std::array<PLStateLock, 40> locks;  // beyond the table: the last ones go untracked
  for (PLStateLock& lock : locks) lock.lock_shared();
  for (PLStateLock& lock : locks) lock.lock_shared();  // nested, with a rebuild maybe waiting
  EXPECT_TRUE(locks.front().heldSharedHere());
  for (PLStateLock& lock : locks) lock.unlock_shared();
  EXPECT_TRUE(locks.front().heldSharedHere());
  for (PLStateLock& lock : locks) lock.unlock_shared();
  EXPECT_FALSE(locks.front().heldSharedHere());
  EXPECT_TRUE(AllFreeForAWriter(locks));
}

TEST(PLStateLock, TheRebuildingThreadsSharedHoldsLeaveNoReader) {
  std::array<PLStateLock, 40> locks;
  for (PLStateLock& lock : locks) lock.lock();
  for (PLStateLock& lock : locks) lock.lock_shared();  // its own steps, tracked or not
  for (PLStateLock& lock : locks) lock.unlock_shared();
  for (PLStateLock& lock : locks) lock.unlock();
  EXPECT_TRUE(AllFreeForAWriter(locks));
}

// A hold taken inside a rebuild and released after it, tracked or beyond the table: its release
// drops its own count only, so a rebuild still waits for another thread's hold.
TEST(PLStateLock, AHoldOutlivingItsRebuildLeavesOtherReadersCounted) {
  for (const size_t others : {size_t{0}, size_t{32}}) {  // 32: the table is full
    std::array<PLStateLock, 32> filling;
    for (size_t i = 0; i < others; ++i) filling[i].lock_shared();
    PLStateLock state;
    state.lock();
    state.lock_shared();
    state.unlock();
    std::promise<void> otherHolds, otherMayGo;
    std::atomic<bool> otherGone{false};
    std::thread other([&] {
      std::shared_lock<PLStateLock> hold(state);
      otherHolds.set_value();
      otherMayGo.get_future().wait_for(kNoWait);
      otherGone = true;
    });
    otherHolds.get_future().wait();
    state.unlock_shared();
    auto writer = std::async(std::launch::async, [&] {
      std::unique_lock<PLStateLock> rebuild(state);
      return otherGone.load();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // room for a wrong rebuild
    otherMayGo.set_value();
    other.join();
    ASSERT_EQ(writer.wait_for(kNoWait), std::future_status::ready) << others;
    EXPECT_TRUE(writer.get()) << others << " other locks held: the rebuild went in beside a reader";
    for (size_t i = 0; i < others; ++i) filling[i].unlock_shared();
  }
}

}  // namespace
