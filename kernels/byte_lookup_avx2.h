// One 32-byte block through a 256-entry table held as sixteen broadcast 16-byte slices; for the
// AVX2 units only.
#pragma once

#include <immintrin.h>

#include <cstdint>

namespace kernels::bytes {

// slice[k] holds entries 16k to 16k + 15 in both lanes.
inline void loadSlices(const uint8_t* table, __m256i slice[16]) {
  for (int k = 0; k < 16; ++k)
    slice[k] = _mm256_broadcastsi128_si256(
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(table + 16 * k)));
}

// A shuffle yields 0 for an index with bit 7 set, so slice k serves the bytes below 128 and slice
// k + 8, shuffled by the index with bit 7 flipped, the rest: one OR picks between them. A tree of
// blends on bits 4 to 6 then picks the slice.
inline __m256i lookup32(const __m256i slice[16], __m256i x) {
  const __m256i flipped = _mm256_xor_si256(x, _mm256_set1_epi8(int8_t(0x80)));
  __m256i r[8];
  for (int k = 0; k < 8; ++k)
    r[k] = _mm256_or_si256(_mm256_shuffle_epi8(slice[k], x),
                           _mm256_shuffle_epi8(slice[k + 8], flipped));
  // Blends read bit 7 of each byte: shift bit 4, 5, 6 of the index up there in turn.
  const __m256i bit4 = _mm256_slli_epi16(x, 3), bit5 = _mm256_slli_epi16(x, 2),
                bit6 = _mm256_slli_epi16(x, 1);
  for (int k = 0; k < 4; ++k) r[k] = _mm256_blendv_epi8(r[2 * k], r[2 * k + 1], bit4);
  for (int k = 0; k < 2; ++k) r[k] = _mm256_blendv_epi8(r[2 * k], r[2 * k + 1], bit5);
  return _mm256_blendv_epi8(r[0], r[1], bit6);
}

}  // namespace kernels::bytes
