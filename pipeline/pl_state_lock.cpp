// The pipeline state's lifetime: every use holds it shared, a rebuild holds it exclusively.
#include "pipeline/pl_state_lock.h"

#include <cassert>
#include <chrono>
#include <utility>

#include "platform/thread.h"

namespace {

// The shared holds of this thread: which lock, and how deep.
struct SharedHold {
  const PLStateLock* lock;
  uint32_t depth;
};

// A fixed table, not a vector: a thread-local object with a destructor makes the C++ runtime keep
// the module loaded until the thread ends, so a host's FreeLibrary would leave it in the process.
// One entry per distinct lock held; a hold beyond the table is taken untracked (it loses only the
// nesting shortcut: each untracked hold counts as a reader of its own).
constexpr uint32_t kTrackedHolds = 32;
thread_local SharedHold sharedHolds[kTrackedHolds];
thread_local uint32_t heldCount = 0;
// A host hook on this thread retired a lock this thread holds; the frame has yet to leave.
thread_local bool retiredHere = false;

// How long a new reader lets a waiting rebuild go first.
constexpr std::chrono::milliseconds kWriterFirst{2};

std::atomic<const PLStateLock::Watch*> watcher{nullptr};

// Each hold counted in readers_, and the rebuild, as the watch sees them.
void report(void (*PLStateLock::Watch::*what)(const void*, uint32_t), const PLStateLock* lock) {
  if (const PLStateLock::Watch* w = watcher.load(std::memory_order_acquire))
    (w->*what)(lock, platform::currentThreadId());
}

SharedHold* findHold(const PLStateLock* lock) {
  for (uint32_t i = 0; i < heldCount; ++i)
    if (sharedHolds[i].lock == lock) return &sharedHolds[i];
  return nullptr;
}

}  // namespace

void PLStateLock::watch(const Watch* watch) {
  watcher.store(watch, std::memory_order_release);
}

// The rebuilding thread counts as a reader too, without waiting: should its rebuild end before
// this hold does, the next rebuild still waits for the hold.
void PLStateLock::lock_shared() {
  if (SharedHold* h = findHold(this)) {
    ++h->depth;
    return;
  }
  const bool rebuilding = writer_.load(std::memory_order_relaxed) == std::this_thread::get_id();
  {
    std::unique_lock<std::mutex> hold(mutex_);
    if (!rebuilding) {
      // A rebuild runs no callback while it holds the lock, and the first wait is bounded.
      changed_.wait_for(hold, kWriterFirst, [&] { return writersWaiting_ == 0 && !writing_; });
      changed_.wait(hold, [&] { return !writing_; });
    }
    ++readers_;
  }
  report(&Watch::taken, this);
  if (heldCount < kTrackedHolds) sharedHolds[heldCount++] = {this, 1};
}

void PLStateLock::unlock_shared() {
  if (SharedHold* h = findHold(this)) {
    if (--h->depth > 0) return;
    *h = sharedHolds[--heldCount];
  }
  report(&Watch::releasing, this);
  std::unique_lock<std::mutex> hold(mutex_);
  if (readers_ > 0 && --readers_ == 0) changed_.notify_all();
  if (!retired_ || readers_ > 0) return;
  hold.unlock();
  finishRetired();
}

void PLStateLock::lock() {
  if (writer_.load(std::memory_order_relaxed) == std::this_thread::get_id()) {
    ++writerDepth_;
    return;
  }
  assert(!heldSharedHere());
  report(&Watch::blocking, this);  // rebuilds are rare: reported whether or not it must wait
  {
    std::unique_lock<std::mutex> hold(mutex_);
    ++writersWaiting_;
    changed_.wait(hold, [&] { return !writing_ && readers_ == 0; });
    --writersWaiting_;
    writing_ = true;
    writer_.store(std::this_thread::get_id(), std::memory_order_relaxed);
    writerDepth_ = 1;
  }
  report(&Watch::taken, this);
}

void PLStateLock::unlock() {
  if (--writerDepth_ > 0) return;
  report(&Watch::releasing, this);
  writer_.store(std::thread::id(), std::memory_order_relaxed);
  std::lock_guard<std::mutex> hold(mutex_);
  writing_ = false;
  changed_.notify_all();
}

bool PLStateLock::heldSharedHere() const {
  return findHold(this) != nullptr &&
         writer_.load(std::memory_order_relaxed) != std::this_thread::get_id();
}

bool PLStateLock::retireWhileHeldHere(std::unique_ptr<PLStateLock>& lock,
                                      std::shared_ptr<void> guarded) {
  if (!lock || !lock->heldSharedHere()) return false;
  PLStateLock* const retiring = lock.release();
  std::lock_guard<std::mutex> hold(retiring->mutex_);
  retiring->guarded_ = std::move(guarded);
  retiring->retired_ = true;
  retiredHere = true;
  return true;
}

void PLStateLock::leaveIfRetiredHere() {
  if (!retiredHere) return;
  retiredHere = false;
  throw Retired{};
}

// The last hold has ended: no thread uses the state or the lock any more.
void PLStateLock::finishRetired() {
  guarded_.reset();
  delete this;
}
