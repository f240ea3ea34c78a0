// Win32 clocks.
#include <windows.h>

#include "platform/clock.h"

namespace platform {

uint32_t OsTickCountMs() {
  return GetTickCount();
}

int64_t PerfCounter() {
  LARGE_INTEGER v;
  QueryPerformanceCounter(&v);
  return v.QuadPart;
}

int64_t PerfFrequency() {
  LARGE_INTEGER v;
  QueryPerformanceFrequency(&v);
  return v.QuadPart;
}

void SleepMs(uint32_t ms) {
  Sleep(ms);
}

namespace {
uint64_t fromFileTime(const FILETIME& t) {
  return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}
}  // namespace

bool GetSystemTimes(SystemTimes& times) {
  FILETIME idle, kernel, user;
  if (!::GetSystemTimes(&idle, &kernel, &user)) return false;
  times = {fromFileTime(idle), fromFileTime(kernel), fromFileTime(user)};
  return true;
}

}  // namespace platform
