// The camera's control lock, which knows the thread holding it.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/lock.h"
#include "platform/thread.h"

// A start raises the host's exposure callback while it holds this lock; a stop, start or restart
// that callback asks for on the same thread would wait for its own thread, so the camera answers
// it as it answers one from a camera thread.
class ControlLock {
 public:
  void lock() {
    mutex_.lock();
    owner_.store(platform::currentThreadId());
  }
  bool try_lock() {
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
  platform::Mutex mutex_;
  std::atomic<uint32_t> owner_{0};
};
