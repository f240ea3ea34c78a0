// The camera's control lock, which knows the thread holding it.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "core/stream/wait_graph.h"
#include "platform/lock.h"
#include "platform/thread.h"

// A start raises the host's exposure callback while it holds this lock; a stop, start or restart
// that callback asks for on the same thread would wait for its own thread, so the camera answers
// it as it answers one from a camera thread.
// A host call blocked here waits for the holder, which may be joining the thread of a callback
// slot's set, or be in a set itself: the wait table sees the block as an edge to the holder.
class ControlLock {
 public:
  void lock() {
    refuseHolder();
    const uint32_t self = platform::currentThreadId();
    if (!mutex_.try_lock()) {
      WaitGraph::Lock::blocking(this, self);
      mutex_.lock();
    }
    held(self);
  }
  bool try_lock() {
    refuseHolder();
    if (!mutex_.try_lock()) return false;
    held(platform::currentThreadId());
    return true;
  }
  // The table forgets this thread's hold alone: were its release to come after the next holder's
  // take, that holder stays in the table.
  void unlock() {
    WaitGraph::Lock::releasing(this, platform::currentThreadId());
    owner_.store(0);
    mutex_.unlock();
  }
  bool heldHere() const {
    const uint32_t self = platform::currentThreadId();
    return self != 0 && owner_.load() == self;
  }

 private:
  void held(uint32_t self) {
    owner_.store(self);
    WaitGraph::Lock::taken(this, self);
  }
  // Its holder asking again would wait for itself or, trying, is undefined for the mutex: a
  // fault of the camera's own, which a debug build stops at so that no test passes over it.
  void refuseHolder() const {
#ifndef NDEBUG
    if (!heldHere()) return;
    std::fputs("ControlLock: asked again by the thread that holds it\n", stderr);
    std::abort();
#endif
  }

  platform::Mutex mutex_;
  std::atomic<uint32_t> owner_{0};
};
