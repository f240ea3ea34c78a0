// The injectable tick source shared by both platforms.
#include <atomic>

#include "platform/clock.h"

namespace platform {

namespace {
std::atomic<TickSource> tickSource{nullptr};
}

uint32_t TickCountMs() {
  const TickSource source = tickSource.load(std::memory_order_acquire);
  return source ? source() : OsTickCountMs();
}

void SetTickSource(TickSource source) {
  tickSource.store(source, std::memory_order_release);
}

}  // namespace platform
