// The camera's control lock, which knows the thread holding it.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "platform/lock.h"
#include "platform/thread.h"

// A start raises the host's exposure callback while it holds this lock; a stop, start or restart
// that callback asks for on the same thread would wait for its own thread, so the camera answers
// it as it answers one from a camera thread.
class ControlLock {
 public:
  void lock() {
    refuseHolder();
    mutex_.lock();
    owner_.store(platform::currentThreadId());
  }
  bool try_lock() {
    refuseHolder();
    if (!mutex_.try_lock()) return false;
    owner_.store(platform::currentThreadId());
    return true;
  }
  void unlock() {
    owner_.store(0);
    mutex_.unlock();
  }
  bool heldHere() const {
    const uint32_t self = platform::currentThreadId();
    return self != 0 && owner_.load() == self;
  }

 private:
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
