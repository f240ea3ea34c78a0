// Instruction-set choice of the kernels: detected once, forcible by tests.
#include "kernels/dispatch.h"

#include "platform/cpu.h"

namespace kernels {
namespace {

std::atomic<uint8_t> gForced{static_cast<uint8_t>(Isa::Avx2)};
std::atomic<uint32_t> gGeneration{1};

}  // namespace

Isa DetectedIsa() {
  // x86-64 always has SSE2; AVX2 only when the OS saves the YMM registers.
  static const Isa detected = platform::DetectCpuFeatures().avx2 ? Isa::Avx2 : Isa::Sse2;
  return detected;
}

void ForceIsa(Isa isa) {
  gForced.store(static_cast<uint8_t>(isa), std::memory_order_relaxed);
  gGeneration.fetch_add(1, std::memory_order_acq_rel);
}

Isa ActiveIsa() {
  const auto forced = gForced.load(std::memory_order_relaxed);
  const auto best = static_cast<uint8_t>(DetectedIsa());
  return static_cast<Isa>(forced < best ? forced : best);
}

namespace detail {
uint32_t isaGeneration() {
  return gGeneration.load(std::memory_order_acquire);
}
}  // namespace detail

}  // namespace kernels
