// Locks with the std BasicLockable shape: a recursive one (a Win32 critical section) and a plain
// one.
#pragma once

#ifdef _WIN32
#include <memory>
#else
#include <pthread.h>

#include <mutex>
#endif

namespace platform {

#ifdef _WIN32
class RecursiveLock {
 public:
  RecursiveLock();
  ~RecursiveLock();
  RecursiveLock(const RecursiveLock&) = delete;
  RecursiveLock& operator=(const RecursiveLock&) = delete;
  void lock();
  void unlock();
  bool try_lock();

 private:
  alignas(8) unsigned char storage_[64];  // CRITICAL_SECTION, kept opaque to portable code
};

class Mutex {
 public:
  Mutex() = default;
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;
  void lock();
  void unlock();
  bool try_lock();

 private:
  void* srw_ = nullptr;  // SRWLOCK
};
#else
// The std locks end without pthread_mutex_destroy, so the thread checker would take a new lock at
// a reused address for the old one and join their lock orders into cycles that never existed.
template <typename StdLock>
class EndingLock : public StdLock {
 public:
  EndingLock() = default;
  ~EndingLock() { pthread_mutex_destroy(this->native_handle()); }
};
using RecursiveLock = EndingLock<std::recursive_mutex>;
using Mutex = EndingLock<std::mutex>;
#endif

}  // namespace platform
