// Instruction-set choice of the kernels: detected once, forcible by tests.
#pragma once

#include <atomic>
#include <cstdint>

namespace kernels {

enum class Isa : uint8_t { Scalar = 0, Sse2 = 1, Avx2 = 2 };

// The best set this processor and OS run.
Isa DetectedIsa();
// Makes every kernel re-choose with at most `isa` (never more than the processor offers).
void ForceIsa(Isa isa);
// The set kernels choose with now.
Isa ActiveIsa();

namespace detail {
uint32_t isaGeneration();
}

// A kernel's function pointer, chosen on first use and again after ForceIsa.
template <typename Fn>
class DispatchPointer {
 public:
  explicit constexpr DispatchPointer(Fn (*choose)(Isa)) : choose_(choose) {}
  Fn get() {
    const uint32_t gen = detail::isaGeneration();
    if (gen_.load(std::memory_order_acquire) != gen) {
      fn_.store(choose_(ActiveIsa()), std::memory_order_relaxed);
      gen_.store(gen, std::memory_order_release);
    }
    return fn_.load(std::memory_order_relaxed);
  }

 private:
  Fn (*choose_)(Isa);
  std::atomic<Fn> fn_{nullptr};
  std::atomic<uint32_t> gen_{0};  // generations start at 1, so the first call chooses
};

}  // namespace kernels
