// The pipeline state's lifetime: every use holds it shared, a rebuild holds it exclusively.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

// A reader-writer lock that a thread may take again while it holds it: a shared hold inside a
// shared hold, and any hold on the thread that rebuilds (its own steps use the new state).
// A waiting rebuild goes before new readers, but only for a moment: a reader may hold the sensor
// lock a current reader waits for, and then it must go in so that both can finish.
// Taking it exclusively while holding it shared is a fault that would wait for itself.
class PLStateLock {
 public:
  PLStateLock() = default;
  PLStateLock(const PLStateLock&) = delete;
  PLStateLock& operator=(const PLStateLock&) = delete;

  void lock_shared();
  void unlock_shared();
  void lock();
  void unlock();
  // True when this thread holds it shared (not as the rebuilding thread).
  bool heldSharedHere() const;

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  uint32_t readers_ = 0, writersWaiting_ = 0;
  bool writing_ = false;
  std::atomic<std::thread::id> writer_{};
  uint32_t writerDepth_ = 0;  // touched only by the writer
};
