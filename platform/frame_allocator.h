// A standard allocator on frame boundaries, for the tables a kernel reads as whole frames.
#pragma once

#include <cstddef>
#include <limits>
#include <new>
#include <vector>

#include "platform/aligned_buffer.h"

namespace platform {

template <typename T>
struct FrameAllocator {
  using value_type = T;
  template <typename U>
  struct rebind {
    using other = FrameAllocator<U>;
  };

  FrameAllocator() = default;
  template <typename U>
  FrameAllocator(const FrameAllocator<U>&) noexcept {}

  T* allocate(size_t n) {
    if (n > std::numeric_limits<size_t>::max() / sizeof(T)) throw std::bad_array_new_length();
    return static_cast<T*>(::operator new(n * sizeof(T), std::align_val_t(kFrameAlignment)));
  }
  void deallocate(T* p, size_t) noexcept {
    ::operator delete(p, std::align_val_t(kFrameAlignment));
  }

  template <typename U>
  bool operator==(const FrameAllocator<U>&) const noexcept {
    return true;
  }
};

// A vector whose samples start on a kFrameAlignment boundary.
template <typename T>
using FrameVector = std::vector<T, FrameAllocator<T>>;

}  // namespace platform
