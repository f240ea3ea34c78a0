// WaitAll as sequential waits under one deadline, the same on every platform.
#include "platform/clock.h"
#include "platform/event.h"

namespace platform {

WaitStatus WaitAll(std::span<Event* const> events, uint32_t timeoutMs) {
  const uint32_t start = TickCountMs();
  for (Event* e : events) {
    if (!e || !e->valid()) return WaitStatus::Failed;
    uint32_t left = kInfinite;
    if (timeoutMs != kInfinite) {
      const uint32_t spent = TickCountMs() - start;  // wraps correctly in u32
      left = spent >= timeoutMs ? 0 : timeoutMs - spent;
    }
    if (!e->wait(left)) return WaitStatus::Timeout;
  }
  return WaitStatus::Signalled;
}

}  // namespace platform
