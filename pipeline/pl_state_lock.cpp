// The pipeline state's lifetime: every use holds it shared, a rebuild holds it exclusively.
#include "pipeline/pl_state_lock.h"

#include <cassert>
#include <vector>

namespace {

// The shared holds of this thread: which lock, how deep, and whether the outermost one took the
// mutex (it did not on the rebuilding thread).
struct SharedHold {
  const PLStateLock* lock;
  uint32_t depth;
  bool took;
};

thread_local std::vector<SharedHold> sharedHolds;

SharedHold* findHold(const PLStateLock* lock) {
  for (auto& h : sharedHolds)
    if (h.lock == lock) return &h;
  return nullptr;
}

}  // namespace

void PLStateLock::lock_shared() {
  if (SharedHold* h = findHold(this)) {
    ++h->depth;
    return;
  }
  const bool rebuilding = writer_.load(std::memory_order_relaxed) == std::this_thread::get_id();
  if (!rebuilding) mutex_.lock_shared();
  sharedHolds.push_back({this, 1, !rebuilding});
}

void PLStateLock::unlock_shared() {
  SharedHold* h = findHold(this);
  assert(h != nullptr);
  if (h == nullptr || --h->depth > 0) return;
  const bool took = h->took;
  *h = sharedHolds.back();
  sharedHolds.pop_back();
  if (took) mutex_.unlock_shared();
}

void PLStateLock::lock() {
  if (writer_.load(std::memory_order_relaxed) == std::this_thread::get_id()) {
    ++writerDepth_;
    return;
  }
  assert(!heldSharedHere());
  mutex_.lock();
  writer_.store(std::this_thread::get_id(), std::memory_order_relaxed);
  writerDepth_ = 1;
}

void PLStateLock::unlock() {
  if (--writerDepth_ > 0) return;
  writer_.store(std::thread::id(), std::memory_order_relaxed);
  mutex_.unlock();
}

bool PLStateLock::heldSharedHere() const {
  const SharedHold* h = findHold(this);
  return h != nullptr && h->took;
}
