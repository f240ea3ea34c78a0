// POSIX clocks: CLOCK_MONOTONIC for ticks and the performance counter, /proc/stat for CPU times.
#include <sched.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>

#include "platform/clock.h"

namespace platform {

uint32_t OsTickCountMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint32_t>(static_cast<uint64_t>(ts.tv_sec) * 1000u +
                               static_cast<uint64_t>(ts.tv_nsec) / 1000000u);
}

int64_t PerfCounter() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

int64_t PerfFrequency() {
  return 1000000000;
}

void SleepMs(uint32_t ms) {
  if (ms == 0) {
    sched_yield();
    return;
  }
  timespec ts{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) != 0) {
  }
}

bool GetSystemTimes(SystemTimes& times) {
  std::FILE* f = std::fopen("/proc/stat", "r");
  if (!f) return false;
  unsigned long long user = 0, nice = 0, system = 0, idle = 0, iowait = 0, irq = 0, softirq = 0;
  const int n = std::fscanf(f, "cpu %llu %llu %llu %llu %llu %llu %llu", &user, &nice, &system,
                            &idle, &iowait, &irq, &softirq);
  std::fclose(f);
  if (n < 4) return false;
  const long hz = sysconf(_SC_CLK_TCK);
  const uint64_t scale = hz > 0 ? 10000000ull / static_cast<uint64_t>(hz) : 100000ull;
  times.idle = (idle + iowait) * scale;
  times.kernel = (system + irq + softirq) * scale + times.idle;  // Win32 counts idle in kernel
  times.user = (user + nice) * scale;
  return true;
}

}  // namespace platform
