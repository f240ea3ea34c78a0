// Aligned allocation with a counted failure point for the out-of-memory paths.
#include "platform/aligned_buffer.h"

#include <atomic>

namespace platform {
namespace {
std::atomic<uint32_t> failCountdown{0};
}

void AlignedBuffer::failAllocation(uint32_t nth) {
  failCountdown.store(nth);
}

bool AlignedBuffer::allocate(size_t size, size_t align) {
  reset();
  uint32_t n = failCountdown.load();
  while (n && !failCountdown.compare_exchange_weak(n, n - 1)) {
  }
  if (n == 1) return false;
  data_ = static_cast<uint8_t*>(::operator new(size, std::align_val_t(align), std::nothrow));
  if (!data_) return false;
  size_ = size;
  align_ = align;
  return true;
}

}  // namespace platform
