// Byte table with AVX2: whole 32-byte blocks through the shared slice lookup.
#include <immintrin.h>

#include "kernels/byte_lookup_avx2.h"
#include "kernels/byte_table.h"

namespace kernels::bytes {

size_t lookupAvx2(const uint8_t* table, uint8_t* data, size_t n, bool keepFourth) {
  __m256i slice[16];
  loadSlices(table, slice);
  const __m256i fourth =
      keepFourth ? _mm256_set1_epi32(int32_t(0xFF000000u)) : _mm256_setzero_si256();
  size_t i = 0;
  for (; i + 32 <= n; i += 32) {
    auto* p = reinterpret_cast<__m256i*>(data + i);
    const __m256i x = _mm256_loadu_si256(p);
    _mm256_storeu_si256(p, _mm256_blendv_epi8(lookup32(slice, x), x, fourth));
  }
  return i;
}

}  // namespace kernels::bytes
