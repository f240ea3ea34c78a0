// The replaced allocator: malloc underneath, one armed allocation failing.
#include "tests/support/failing_allocator.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<long> failAt{0};  // 0: allocations never fail
std::atomic<long> counted{0};
std::atomic<unsigned long long> sizeLimit{0};  // 0: any size
std::atomic<long> refused{0};

bool injectFailure(std::size_t n) {
  const unsigned long long limit = sizeLimit.load(std::memory_order_relaxed);
  if (limit && n > limit) {
    refused.fetch_add(1, std::memory_order_relaxed);
    return true;
  }
  const long at = failAt.load(std::memory_order_relaxed);
  return at > 0 && counted.fetch_add(1, std::memory_order_relaxed) + 1 == at;
}

void* allocate(std::size_t n) {
  if (injectFailure(n)) throw std::bad_alloc();
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}

void* allocateOrNull(std::size_t n) noexcept {
  if (injectFailure(n)) return nullptr;
  return std::malloc(n ? n : 1);
}

}  // namespace

void* operator new(std::size_t n) {
  return allocate(n);
}
void* operator new[](std::size_t n) {
  return allocate(n);
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  return allocateOrNull(n);
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
  return allocateOrNull(n);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}

namespace testing_support {

void FailAllocation(long n) {
  failAt = 0;
  counted = 0;
  failAt = n;
}

void LimitAllocations(unsigned long long bytes) {
  sizeLimit = 0;
  refused = 0;
  sizeLimit = bytes;
}

long RefusedAllocations() {
  return refused.load();
}

}  // namespace testing_support
