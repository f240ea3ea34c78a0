// Locks with the std BasicLockable shape: a recursive one (a Win32 critical section) and a plain
// one.
#pragma once

#ifdef _WIN32
#include <memory>
#else
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
using RecursiveLock = std::recursive_mutex;
using Mutex = std::mutex;
#endif

}  // namespace platform
