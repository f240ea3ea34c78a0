// Time: the wrapping millisecond tick, the performance counter, sleeps and CPU times.
#pragma once

#include <cstdint>

namespace platform {

uint32_t TickCountMs();
// Tests replace the tick source; nullptr restores the OS one.
using TickSource = uint32_t (*)();
void SetTickSource(TickSource source);
// The OS's own tick, each platform's; TickCountMs uses it when no source is set.
uint32_t OsTickCountMs();

int64_t PerfCounter();
int64_t PerfFrequency();

// 0 gives up the rest of the time slice.
void SleepMs(uint32_t ms);

// Accumulated times in 100 ns units, as GetSystemTimes gives them (kernel includes idle).
struct SystemTimes {
  uint64_t idle;
  uint64_t kernel;
  uint64_t user;
};
bool GetSystemTimes(SystemTimes& times);

}  // namespace platform
