// The pipeline state lock's per-thread hold table: nesting, and more locks than the table tracks.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <future>
#include <shared_mutex>

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

}  // namespace
