// Three-byte to four-byte pixels with AVX2: eight pixels (24 bytes) a block, pixels 0-3 from the
// block's first 16 bytes and 4-7 from its last 16, spread by one byte shuffle per lane.
#include <immintrin.h>

#include "kernels/bgr_pad.h"

namespace kernels::pad {

uint32_t rowAvx2(const uint8_t* src, uint8_t* dst, uint32_t width) {
  constexpr char z = char(0x80);  // shuffle index that writes 0
  // Low lane: bytes 0-11 of the block; high lane: bytes 12-23, at 4-15 of its load.
  const __m256i order = _mm256_setr_epi8(0, 1, 2, z, 3, 4, 5, z, 6, 7, 8, z, 9, 10, 11, z,  //
                                         4, 5, 6, z, 7, 8, 9, z, 10, 11, 12, z, 13, 14, 15, z);
  uint32_t x = 0;
  for (; x + 8 <= width; x += 8) {
    const uint8_t* s = src + size_t{3} * x;
    const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
    const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 8));
    const __m256i px = _mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + size_t{4} * x),
                        _mm256_shuffle_epi8(px, order));
  }
  return x;
}

}  // namespace kernels::pad
