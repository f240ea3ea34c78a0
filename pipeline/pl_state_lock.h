// The pipeline state's lifetime: every use holds it shared, a rebuild holds it exclusively.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

// A reader-writer lock that a thread may take again while it holds it: a shared hold inside a
// shared hold, and any hold on the thread that rebuilds (its own steps use the new state).
// A waiting rebuild goes before new readers, but only for a moment: a reader may hold the sensor
// lock a current reader waits for, and then it must go in so that both can finish.
// Taking it exclusively while holding it shared is a fault that would wait for itself.
class PLStateLock {
 public:
  // Ends a frame whose host hook deleted the lock's owner (see leaveIfRetiredHere).
  struct Retired {};
  // Where every lock tells who holds it and who waits to rebuild: a wait table above this layer,
  // since a reader may wait in a host hook for the rebuilding thread. Each gets the lock and the
  // calling thread; set once before any lock is used.
  struct Watch {
    void (*blocking)(const void* lock, uint32_t thread);
    void (*taken)(const void* lock, uint32_t thread);
    void (*releasing)(const void* lock, uint32_t thread);
  };
  static void watch(const Watch* watch);

  PLStateLock() = default;
  PLStateLock(const PLStateLock&) = delete;
  PLStateLock& operator=(const PLStateLock&) = delete;

  void lock_shared();
  void unlock_shared();
  void lock();
  void unlock();
  // True when this thread holds it shared (not as the rebuilding thread).
  bool heldSharedHere() const;

  // For an owner deleted from inside a host hook that runs under this thread's shared hold, where
  // finishing under the exclusive lock would wait for itself: the lock and what it guards pass to
  // the holds, and the last hold to end destroys them. False, nothing taken, without such a hold.
  static bool retireWhileHeldHere(std::unique_ptr<PLStateLock>& lock,
                                  std::shared_ptr<void> guarded);
  // Called after each host hook run under a hold: throws Retired when the hook retired a lock
  // this thread holds, so the frame touches nothing of the deleted owner; the entry that took the
  // hold catches it.
  static void leaveIfRetiredHere();

 private:
  void finishRetired();

  std::mutex mutex_;
  std::condition_variable changed_;
  // Every hold not nested in a tracked one counts once, the rebuilding thread's too: its release
  // then undoes just what its taking did, whatever rebuild began or ended in between.
  uint32_t readers_ = 0, writersWaiting_ = 0;
  bool writing_ = false;
  bool retired_ = false;
  std::shared_ptr<void> guarded_;  // a retired lock's state, destroyed with it
  std::atomic<std::thread::id> writer_{};
  uint32_t writerDepth_ = 0;  // touched only by the writer
};
