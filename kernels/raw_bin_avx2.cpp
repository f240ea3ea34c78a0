// Binning by 2 with AVX2: a byte shuffle puts each quad's colours side by side, a byte-pair
// multiply-add by one sums them across the two columns, and the rows are added as words.
#include <immintrin.h>

#include "kernels/raw_bin.h"

namespace kernels::bin {
namespace {

// 16 quads (64 inputs a row) a block.
template <bool Average>
uint32_t quadsAvx2(const uint8_t* a, const uint8_t* b, uint8_t* out, uint32_t quads,
                   uint8_t maximum) {
  // Quad bytes e0 o0 e1 o1 to e0 e1 o0 o1, so adjacent byte pairs are same-colour.
  const __m256i order = _mm256_setr_epi8(0, 2, 1, 3, 4, 6, 5, 7, 8, 10, 9, 11, 12, 14, 13, 15,  //
                                         0, 2, 1, 3, 4, 6, 5, 7, 8, 10, 9, 11, 12, 14, 13, 15);
  const __m256i ones = _mm256_set1_epi8(1);
  const __m256i cap = _mm256_set1_epi16(maximum);
  auto words = [&](const uint8_t* pa, const uint8_t* pb) {
    const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pa));
    const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pb));
    const __m256i sum = _mm256_add_epi16(_mm256_maddubs_epi16(_mm256_shuffle_epi8(x, order), ones),
                                         _mm256_maddubs_epi16(_mm256_shuffle_epi8(y, order), ones));
    return Average ? _mm256_srli_epi16(sum, 2) : _mm256_min_epi16(sum, cap);
  };
  uint32_t q = 0;
  for (; q + 16 <= quads; q += 16) {
    const size_t i = size_t{4} * q;
    const __m256i lo = words(a + i, b + i);
    const __m256i hi = words(a + i + 32, b + i + 32);
    // Packing works per lane: 64-bit groups come out 0 2 1 3.
    const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi16(lo, hi), 0xD8);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 2 * size_t{q}), packed);
  }
  return q;
}

}  // namespace

uint32_t sumAvx2(const uint8_t* a, const uint8_t* b, uint8_t* out, uint32_t quads,
                 uint8_t maximum) {
  return quadsAvx2<false>(a, b, out, quads, maximum);
}
uint32_t averageAvx2(const uint8_t* a, const uint8_t* b, uint8_t* out, uint32_t quads,
                     uint8_t maximum) {
  return quadsAvx2<true>(a, b, out, quads, maximum);
}

}  // namespace kernels::bin
