// Win32 locks: a critical section (recursive) and an SRW lock (plain).
#include <windows.h>

#include "platform/lock.h"

namespace platform {

static_assert(sizeof(CRITICAL_SECTION) <= 64, "storage too small for CRITICAL_SECTION");

RecursiveLock::RecursiveLock() {
  InitializeCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(storage_));
}
RecursiveLock::~RecursiveLock() {
  DeleteCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(storage_));
}
void RecursiveLock::lock() {
  EnterCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(storage_));
}
void RecursiveLock::unlock() {
  LeaveCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(storage_));
}
bool RecursiveLock::try_lock() {
  return TryEnterCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(storage_)) != 0;
}

void Mutex::lock() {
  AcquireSRWLockExclusive(reinterpret_cast<SRWLOCK*>(&srw_));
}
void Mutex::unlock() {
  ReleaseSRWLockExclusive(reinterpret_cast<SRWLOCK*>(&srw_));
}
bool Mutex::try_lock() {
  return TryAcquireSRWLockExclusive(reinterpret_cast<SRWLOCK*>(&srw_)) != 0;
}

}  // namespace platform
