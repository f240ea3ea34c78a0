// Byte table with AVX2: the 256 entries as sixteen 16-byte shuffles, chosen by the high nibble
// through a tree of blends on its four bits.
#include <immintrin.h>

#include "kernels/byte_table.h"

namespace kernels::bytes {

size_t lookupAvx2(const uint8_t* table, uint8_t* data, size_t n, bool keepFourth) {
  __m256i slice[16];
  for (int k = 0; k < 16; ++k)
    slice[k] = _mm256_broadcastsi128_si256(
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(table + 16 * k)));
  const __m256i low = _mm256_set1_epi8(0x0F);
  const __m256i fourth =
      keepFourth ? _mm256_set1_epi32(int32_t(0xFF000000u)) : _mm256_setzero_si256();
  size_t i = 0;
  for (; i + 32 <= n; i += 32) {
    auto* p = reinterpret_cast<__m256i*>(data + i);
    const __m256i x = _mm256_loadu_si256(p);
    const __m256i nibble = _mm256_and_si256(x, low);
    __m256i r[16];
    for (int k = 0; k < 16; ++k) r[k] = _mm256_shuffle_epi8(slice[k], nibble);
    // Blends read bit 7 of each byte: shift bit 4, 5, 6 of the index up there in turn.
    const __m256i bit4 = _mm256_slli_epi16(x, 3), bit5 = _mm256_slli_epi16(x, 2),
                  bit6 = _mm256_slli_epi16(x, 1);
    for (int k = 0; k < 8; ++k) r[k] = _mm256_blendv_epi8(r[2 * k], r[2 * k + 1], bit4);
    for (int k = 0; k < 4; ++k) r[k] = _mm256_blendv_epi8(r[2 * k], r[2 * k + 1], bit5);
    for (int k = 0; k < 2; ++k) r[k] = _mm256_blendv_epi8(r[2 * k], r[2 * k + 1], bit6);
    const __m256i y = _mm256_blendv_epi8(r[0], r[1], x);
    _mm256_storeu_si256(p, _mm256_blendv_epi8(y, x, fourth));
  }
  return i;
}

}  // namespace kernels::bytes
