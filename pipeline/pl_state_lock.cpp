// The pipeline state's lifetime: every use holds it shared, a rebuild holds it exclusively.
#include "pipeline/pl_state_lock.h"

#include <cassert>
#include <chrono>

namespace {

// The shared holds of this thread: which lock, how deep, and whether the outermost one took the
// mutex (it did not on the rebuilding thread).
struct SharedHold {
  const PLStateLock* lock;
  uint32_t depth;
  bool took;
};

// A fixed table, not a vector: a thread-local object with a destructor makes the C++ runtime keep
// the module loaded until the thread ends, so a host's FreeLibrary would leave it in the process.
// One entry per distinct lock held; a hold beyond the table is taken untracked (it loses only the
// nesting shortcut, and the rebuilding thread is recognised on release instead).
constexpr uint32_t kTrackedHolds = 32;
thread_local SharedHold sharedHolds[kTrackedHolds];
thread_local uint32_t heldCount = 0;

// How long a new reader lets a waiting rebuild go first.
constexpr std::chrono::milliseconds kWriterFirst{2};

SharedHold* findHold(const PLStateLock* lock) {
  for (uint32_t i = 0; i < heldCount; ++i)
    if (sharedHolds[i].lock == lock) return &sharedHolds[i];
  return nullptr;
}

}  // namespace

void PLStateLock::lock_shared() {
  if (SharedHold* h = findHold(this)) {
    ++h->depth;
    return;
  }
  const bool rebuilding = writer_.load(std::memory_order_relaxed) == std::this_thread::get_id();
  if (!rebuilding) {
    std::unique_lock<std::mutex> hold(mutex_);
    changed_.wait_for(hold, kWriterFirst, [&] { return writersWaiting_ == 0 && !writing_; });
    changed_.wait(hold, [&] { return !writing_; });
    ++readers_;
  }
  if (heldCount < kTrackedHolds) sharedHolds[heldCount++] = {this, 1, !rebuilding};
}

void PLStateLock::unlock_shared() {
  SharedHold* h = findHold(this);
  bool took = writer_.load(std::memory_order_relaxed) != std::this_thread::get_id();
  if (h != nullptr) {
    if (--h->depth > 0) return;
    took = h->took;
    *h = sharedHolds[--heldCount];
  }
  if (!took) return;
  std::lock_guard<std::mutex> hold(mutex_);
  if (readers_ > 0 && --readers_ == 0) changed_.notify_all();
}

void PLStateLock::lock() {
  if (writer_.load(std::memory_order_relaxed) == std::this_thread::get_id()) {
    ++writerDepth_;
    return;
  }
  assert(!heldSharedHere());
  std::unique_lock<std::mutex> hold(mutex_);
  ++writersWaiting_;
  changed_.wait(hold, [&] { return !writing_ && readers_ == 0; });
  --writersWaiting_;
  writing_ = true;
  writer_.store(std::this_thread::get_id(), std::memory_order_relaxed);
  writerDepth_ = 1;
}

void PLStateLock::unlock() {
  if (--writerDepth_ > 0) return;
  writer_.store(std::thread::id(), std::memory_order_relaxed);
  std::lock_guard<std::mutex> hold(mutex_);
  writing_ = false;
  changed_.notify_all();
}

bool PLStateLock::heldSharedHere() const {
  const SharedHold* h = findHold(this);
  return h != nullptr && h->took;
}
