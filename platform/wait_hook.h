// The waits and sleeps of device code, routable to a simulated clock; the tick has its own hook in
// clock.h.
#pragma once

#include <cstdint>
#include <span>

#include "platform/event.h"

namespace platform {

class WaitHook {
 public:
  virtual WaitResult waitAny(std::span<Event* const> events, uint32_t timeoutMs) = 0;
  virtual void sleep(uint32_t ms) = 0;

 protected:
  ~WaitHook() = default;
};

// nullptr restores the OS waits.
void SetWaitHook(WaitHook* hook);

WaitResult HookedWaitAny(std::span<Event* const> events, uint32_t timeoutMs);
// All events under one deadline, each waited through the hook.
WaitStatus HookedWaitAll(std::span<Event* const> events, uint32_t timeoutMs);
void HookedSleepMs(uint32_t ms);

}  // namespace platform
