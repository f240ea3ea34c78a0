// Process-wide idle-priority spin threads that keep the processors out of deep sleep while
// streaming.
#pragma once

#include <cstdint>

#include "platform/clock.h"

class CpuLatency {
 public:
  // References from streaming cameras; the first starts the threads, the last joins them.
  static void register_cpu_latency(bool on);
  static void unregister_cpu_latency_all();
  // The module's unload: drops every reference and stops the threads. Under the loader lock a
  // thread cannot finish ending, so each join is bounded and a thread past its loop is let go.
  static void stopForUnload();
  // Busy share between two samples in percent; 0 when no time passed.
  static uint32_t UsagePercent(const platform::SystemTimes& oldest,
                               const platform::SystemTimes& newest);
  // Where tests put their own system times; null restores the machine's.
  using SystemTimesSource = bool (*)(platform::SystemTimes& times);
  static void SetSystemTimesSource(SystemTimesSource source);
  static uint32_t runningThreads();

 private:
  static void thread_usage();
  static void SpinOneMillisecond(bool yield);
};
