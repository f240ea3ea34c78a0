// Per-colour tables on 3-byte pixels with AVX2: 32 pixels at a time are split into one vector
// per byte position, each goes through its own table, and the pixels are put back together.
#include <immintrin.h>

#include "kernels/byte_lookup_avx2.h"
#include "kernels/colour_tables_simd.h"

namespace kernels::planes {
namespace {

constexpr int kPixelBytes = 3;
constexpr int kBlockPixels = 32;  // 16 in each lane: 48 bytes, three 16-byte loads per lane
constexpr uint8_t kZero = 0x80;   // a shuffle index that yields 0

// Gathers byte position j of a lane's 16 pixels from its source vector s (bytes 16s to 16s + 15).
__m256i splitMask(int j, int s) {
  alignas(16) uint8_t m[16];
  for (int i = 0; i < 16; ++i) {
    const int at = kPixelBytes * i + j;
    m[i] = at / 16 == s ? uint8_t(at % 16) : kZero;
  }
  return _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(m)));
}
// Places position j's pixels into output vector s.
__m256i joinMask(int j, int s) {
  alignas(16) uint8_t m[16];
  for (int i = 0; i < 16; ++i) {
    const int at = 16 * s + i;
    m[i] = at % kPixelBytes == j ? uint8_t(at / kPixelBytes) : kZero;
  }
  return _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(m)));
}

// Lane 0 takes bytes 16s of the block, lane 1 the same 48 bytes on.
__m256i loadPart(const uint8_t* block, int s) {
  const auto* lo = reinterpret_cast<const __m128i*>(block + 16 * s);
  const auto* hi = reinterpret_cast<const __m128i*>(block + 48 + 16 * s);
  return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(lo)), _mm_loadu_si128(hi),
                                 1);
}
void storePart(uint8_t* block, int s, __m256i v) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(block + 16 * s), _mm256_castsi256_si128(v));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(block + 48 + 16 * s), _mm256_extracti128_si256(v, 1));
}

}  // namespace

size_t colourTables3Avx2(const uint8_t* const tables[3], uint8_t* row, size_t pixels) {
  __m256i slice[3][16], split[3][3], join[3][3];
  for (int j = 0; j < 3; ++j) {
    bytes::loadSlices(tables[j], slice[j]);
    for (int s = 0; s < 3; ++s) split[j][s] = splitMask(j, s), join[j][s] = joinMask(j, s);
  }
  size_t x = 0;
  for (; x + kBlockPixels <= pixels; x += kBlockPixels) {
    uint8_t* block = row + x * kPixelBytes;
    const __m256i part[3] = {loadPart(block, 0), loadPart(block, 1), loadPart(block, 2)};
    __m256i plane[3];
    for (int j = 0; j < 3; ++j) {
      __m256i v = _mm256_shuffle_epi8(part[0], split[j][0]);
      v = _mm256_or_si256(v, _mm256_shuffle_epi8(part[1], split[j][1]));
      v = _mm256_or_si256(v, _mm256_shuffle_epi8(part[2], split[j][2]));
      plane[j] = bytes::lookup32(slice[j], v);
    }
    for (int s = 0; s < 3; ++s) {
      __m256i v = _mm256_shuffle_epi8(plane[0], join[0][s]);
      v = _mm256_or_si256(v, _mm256_shuffle_epi8(plane[1], join[1][s]));
      v = _mm256_or_si256(v, _mm256_shuffle_epi8(plane[2], join[2][s]));
      storePart(block, s, v);
    }
  }
  return x;
}

}  // namespace kernels::planes
