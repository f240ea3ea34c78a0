// Dark-frame subtraction, saturating at 0: an aligned vector middle between scalar head and tail.
#include "kernels/dark_subtract.h"

#include <emmintrin.h>

#include "kernels/calibration.h"
#include "kernels/dispatch.h"
#include "platform/cpu.h"

namespace kernels {
namespace dark {

size_t blocks8Sse2(uint8_t* frame, const uint8_t* dark, size_t n) {
  size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    auto* f = reinterpret_cast<__m128i*>(frame + i);
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dark + i));
    _mm_storeu_si128(f, _mm_subs_epu8(_mm_loadu_si128(f), d));
  }
  return i;
}

size_t blocks16Sse2(uint16_t* frame, const uint16_t* dark, size_t n) {
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    auto* f = reinterpret_cast<__m128i*>(frame + i);
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dark + i));
    _mm_storeu_si128(f, _mm_subs_epu16(_mm_loadu_si128(f), d));
  }
  return i;
}

}  // namespace dark

namespace {

template <typename Sample>
using BlockFn = size_t (*)(Sample*, const Sample*, size_t);

BlockFn<uint8_t> choose8(Isa isa) {
  if (isa == Isa::Avx2) return &dark::blocks8Avx2;
  return isa == Isa::Sse2 ? &dark::blocks8Sse2 : nullptr;
}
BlockFn<uint16_t> choose16(Isa isa) {
  if (isa == Isa::Avx2) return &dark::blocks16Avx2;
  if (isa != Isa::Sse2) return nullptr;
  static const bool sse41 = platform::DetectCpuFeatures().sse41;
  return sse41 ? &dark::blocks16Sse41 : &dark::blocks16Sse2;
}
DispatchPointer<BlockFn<uint8_t>> gBlocks8{&choose8};
DispatchPointer<BlockFn<uint16_t>> gBlocks16{&choose16};

template <typename Sample>
void subtractDark(int32_t w, int32_t h, Sample* frame, const Sample* dark, BlockFn<Sample> vec) {
  if (!frame || !dark || w < 1 || h < 1) return;
  const size_t n = size_t(w) * size_t(h);
  auto scalar = [&](size_t from, size_t to) {
    for (size_t i = from; i < to; ++i)
      frame[i] = frame[i] > dark[i] ? Sample(frame[i] - dark[i]) : Sample(0);
  };
  size_t head = 0;
  if (vec) {
    // Samples up to the first 32-byte boundary of the frame (it may start anywhere).
    const uintptr_t mis = reinterpret_cast<uintptr_t>(frame) & 31u;
    head = mis ? (32u - mis) / sizeof(Sample) : 0;
    if (mis % sizeof(Sample)) head = 0;  // an odd address never aligns: blocks run unaligned
    head = head < n ? head : n;
  }
  scalar(0, head);
  const size_t done = vec ? head + vec(frame + head, dark + head, n - head) : 0;
  scalar(done, n);
}

}  // namespace

void SubtractDark8(int32_t w, int32_t h, uint8_t* frame, const uint8_t* dark) {
  subtractDark(w, h, frame, dark, gBlocks8.get());
}
void SubtractDark16(int32_t w, int32_t h, uint16_t* frame, const uint16_t* dark) {
  subtractDark(w, h, frame, dark, gBlocks16.get());
}

}  // namespace kernels
