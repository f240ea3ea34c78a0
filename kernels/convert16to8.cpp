// High-bit samples to 8 bits: shift by depth - 8, saturate at 255; SSE2 for whole 32-sample blocks.
#include <emmintrin.h>

#include <algorithm>
#include <cstdint>

#include "kernels/dispatch.h"
#include "kernels/output.h"

namespace kernels {
namespace {

// Returns how many samples of the row it converted; the scalar loop does the rest.
using RowFn = size_t (*)(const uint16_t* src, uint8_t* dst, size_t n, int shift);

size_t rowSse2(const uint16_t* src, uint8_t* dst, size_t n, int shift) {
  const __m128i count = _mm_cvtsi32_si128(shift), limit = _mm_set1_epi16(255);
  // min(v, 255) as v - sat(v - 255): SSE2 has no unsigned 16-bit minimum, and packus reads signed.
  auto narrow = [&](const uint16_t* s) {
    const __m128i v = _mm_srl_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s)), count);
    return _mm_sub_epi16(v, _mm_subs_epu16(v, limit));
  };
  size_t i = 0;
  for (; i + 32 <= n; i += 32) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i),
                     _mm_packus_epi16(narrow(src + i), narrow(src + i + 8)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i + 16),
                     _mm_packus_epi16(narrow(src + i + 16), narrow(src + i + 24)));
  }
  return i;
}

RowFn chooseRow(Isa isa) {
  return isa == Isa::Scalar ? nullptr : &rowSse2;
}
DispatchPointer<RowFn> gRow{&chooseRow};

}  // namespace

void Convert16To8(const uint16_t* src, uint8_t* dst, int32_t w, int32_t rows, uint8_t p,
                  uint8_t bits) {
  if (!src || !dst || w < 1 || rows < 1 || p < 1 || p > 4 || bits < 8 || bits > 16) return;
  const int shift = bits - 8;
  const size_t n = size_t(w) * p;
  const size_t srcStride = rowStride<uint16_t>(p, w), dstStride = rowStride<uint8_t>(p, w);
  const RowFn vec = n >= 32 ? gRow.get() : nullptr;
  const auto srcAt = reinterpret_cast<uintptr_t>(src), dstAt = reinterpret_cast<uintptr_t>(dst);
  for (int32_t y = 0; y < rows; ++y) {
    const uint16_t* s = src + size_t(y) * srcStride;
    uint8_t* d = dst + size_t(y) * dstStride;
    // Only rows whose bytes do not overlap take blocks; in place goes sample by sample, in order.
    const uintptr_t sb = srcAt + size_t(y) * srcStride * 2, db = dstAt + size_t(y) * dstStride;
    const bool apart = db + n <= sb || sb + n * 2 <= db;
    size_t i = vec && apart ? vec(s, d, n, shift) : 0;
    for (; i < n; ++i)
      d[i] = static_cast<uint8_t>(std::min<uint32_t>(uint32_t(s[i]) >> shift, 255u));
  }
}

}  // namespace kernels
