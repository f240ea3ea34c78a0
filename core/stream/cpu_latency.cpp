// CPU-latency spin threads, shared by every streaming camera of the process.
#include "core/stream/cpu_latency.h"

#include <array>
#include <atomic>
#include <mutex>

#include "base/process_globals.h"
#include "base/trace.h"

namespace {

std::atomic<bool> spinning{false};  // the threads' run flag; they never take the spin lock
std::atomic<CpuLatency::SystemTimesSource> timesSource{nullptr};
constexpr uint32_t kSampleRing = 50;
constexpr uint32_t kYieldAbovePercent = 20;
constexpr uint32_t kUnloadJoinMs = 100;  // a loop ends within a millisecond of the flag

bool readTimes(platform::SystemTimes& times) {
  const CpuLatency::SystemTimesSource source = timesSource.load();
  return source ? source(times) : platform::GetSystemTimes(times);
}

}  // namespace

void CpuLatency::SetSystemTimesSource(SystemTimesSource source) {
  timesSource = source;
}

uint32_t CpuLatency::UsagePercent(const platform::SystemTimes& oldest,
                                  const platform::SystemTimes& newest) {
  const uint64_t total = (newest.kernel + newest.user) - (oldest.kernel + oldest.user);
  if (total == 0) return 0;
  const uint64_t idle = newest.idle - oldest.idle;
  const uint64_t busy = total > idle ? total - idle : 0;
  return static_cast<uint32_t>(busy * 100 / total);
}

void CpuLatency::SpinOneMillisecond(bool yield) {
  const int64_t frequency = platform::PerfFrequency();
  const int64_t begin = platform::PerfCounter();
  while (platform::PerfCounter() - begin <= frequency / 1000) {
    if (yield) platform::SleepMs(0);
  }
}

void CpuLatency::thread_usage() {
  ZX_TRACE("%s: enter", "thread_usage");
  std::array<platform::SystemTimes, kSampleRing> ring{};
  uint32_t taken = 0;
  while (spinning.load()) {
    platform::SystemTimes now{};
    readTimes(now);
    const platform::SystemTimes oldest = ring[taken % kSampleRing];
    ring[taken % kSampleRing] = now;
    ++taken;
    if (taken <= kSampleRing)
      SpinOneMillisecond(false);
    else
      SpinOneMillisecond(UsagePercent(oldest, now) >= kYieldAbovePercent);
  }
  ZX_TRACE("%s: leave", "thread_usage");
}

void CpuLatency::register_cpu_latency(bool on) {
  ProcessGlobals& g = Globals();
  if (g.spinThreadCount == 0) return;
  std::lock_guard<platform::RecursiveLock> guard(g.spinLock);
  if (on) {
    if (++g.spinRefCount != 1) return;
    ZX_TRACE("%s", "register_cpu_latency");
    spinning = true;
    for (uint32_t i = 0; i < g.spinThreadCount && i < kMaxSpinThreads; ++i) {
      auto thread = std::make_unique<platform::Thread>();
      if (!thread->start(thread_usage)) continue;  // fewer spinners is only less effect
      thread->setPriority(platform::ThreadPriority::Idle);
      g.spinThreads[i] = std::move(thread);
    }
    return;
  }
  if (g.spinRefCount == 0) return;
  if (--g.spinRefCount != 0) return;
  ZX_TRACE("%s", "register_cpu_latency");
  unregister_cpu_latency_all();
}

void CpuLatency::unregister_cpu_latency_all() {
  ProcessGlobals& g = Globals();
  std::lock_guard<platform::RecursiveLock> guard(g.spinLock);
  spinning = false;
  for (auto& thread : g.spinThreads) {
    if (thread) thread->join();  // each ends within a millisecond of the flag
    thread.reset();
  }
}

void CpuLatency::stopForUnload() {
  ProcessGlobals& g = Globals();
  std::lock_guard<platform::RecursiveLock> guard(g.spinLock);
  g.spinRefCount = 0;
  spinning = false;  // what the loops test: cleared before any join
  for (auto& thread : g.spinThreads) {
    if (thread && !thread->join(kUnloadJoinMs)) thread->detach();
    thread.reset();
  }
}

uint32_t CpuLatency::runningThreads() {
  ProcessGlobals& g = Globals();
  std::lock_guard<platform::RecursiveLock> guard(g.spinLock);
  uint32_t count = 0;
  for (auto& thread : g.spinThreads) count += thread ? 1 : 0;
  return count;
}
