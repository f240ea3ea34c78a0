// The wait hook: OS waits unless a simulated clock is installed.
#include "platform/wait_hook.h"

#include <atomic>

#include "platform/clock.h"

namespace platform {
namespace {
std::atomic<WaitHook*> waitHook{nullptr};
}

void SetWaitHook(WaitHook* hook) {
  waitHook.store(hook, std::memory_order_release);
}

WaitResult HookedWaitAny(std::span<Event* const> events, uint32_t timeoutMs) {
  WaitHook* hook = waitHook.load(std::memory_order_acquire);
  return hook ? hook->waitAny(events, timeoutMs) : WaitAny(events, timeoutMs);
}

WaitStatus HookedWaitAll(std::span<Event* const> events, uint32_t timeoutMs) {
  const uint32_t start = TickCountMs();
  for (Event* e : events) {
    uint32_t left = kInfinite;
    if (timeoutMs != kInfinite) {
      const uint32_t spent = TickCountMs() - start;
      left = spent >= timeoutMs ? 0 : timeoutMs - spent;
    }
    Event* one[] = {e};
    const WaitResult r = HookedWaitAny(one, left);
    if (r.status != WaitStatus::Signalled) return r.status;
  }
  return WaitStatus::Signalled;
}

void HookedSleepMs(uint32_t ms) {
  WaitHook* hook = waitHook.load(std::memory_order_acquire);
  if (hook)
    hook->sleep(ms);
  else
    SleepMs(ms);
}

}  // namespace platform
