// Dark subtraction with AVX2: 32-byte blocks of saturating differences.
#include <immintrin.h>

#include "kernels/dark_subtract.h"

namespace kernels::dark {
namespace {

template <typename Sample>
inline __m256i subs(__m256i a, __m256i b) {
  if constexpr (sizeof(Sample) == 1)
    return _mm256_subs_epu8(a, b);
  else
    return _mm256_subs_epu16(a, b);
}

template <typename Sample>
size_t blocks(Sample* frame, const Sample* dark, size_t n) {
  constexpr size_t kLanes = 32 / sizeof(Sample);
  size_t i = 0;
  for (; i + 2 * kLanes <= n; i += 2 * kLanes) {
    auto* f = reinterpret_cast<__m256i*>(frame + i);
    const auto* d = reinterpret_cast<const __m256i*>(dark + i);
    const __m256i a = subs<Sample>(_mm256_loadu_si256(f), _mm256_loadu_si256(d));
    const __m256i b = subs<Sample>(_mm256_loadu_si256(f + 1), _mm256_loadu_si256(d + 1));
    _mm256_storeu_si256(f, a);
    _mm256_storeu_si256(f + 1, b);
  }
  for (; i + kLanes <= n; i += kLanes) {
    auto* f = reinterpret_cast<__m256i*>(frame + i);
    _mm256_storeu_si256(
        f, subs<Sample>(_mm256_loadu_si256(f),
                        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dark + i))));
  }
  return i;
}

}  // namespace

size_t blocks8Avx2(uint8_t* frame, const uint8_t* dark, size_t n) {
  return blocks(frame, dark, n);
}
size_t blocks16Avx2(uint16_t* frame, const uint16_t* dark, size_t n) {
  return blocks(frame, dark, n);
}

}  // namespace kernels::dark
