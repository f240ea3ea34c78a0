// Colour adjustment with AVX2: eight pixels per block, one 32-bit lane each.
#include <immintrin.h>

#include <cstring>

#include "kernels/adjust_color.h"

namespace kernels::colour {
namespace {

// Per pixel k of a lane: byte offsets a and b of the pixel into the lane's 16-bit halves
// (b < 0: zero), or with four bytes each, a lane's byte 3 too (the fourth sample).
template <int P>
inline __m256i spreadMask(int a, int b) {
  alignas(32) int8_t m[32];
  for (int lane = 0; lane < 2; ++lane)
    for (int k = 0; k < 4; ++k) {
      int8_t* d = m + 16 * lane + 4 * k;
      d[0] = int8_t(P * k + a), d[1] = -1, d[2] = b < 0 ? -1 : int8_t(P * k + b), d[3] = -1;
    }
  return _mm256_load_si256(reinterpret_cast<const __m256i*>(m));
}

// Eight pixels: 4 from each 128-bit lane (three-sample rows: bytes 0-11 and 12-23, reading 28).
template <int P>
inline __m256i loadPixels(const uint8_t* px) {
  if constexpr (P == 4) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(px));
  } else {
    return _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(px))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(px + 12)), 1);
  }
}

// Writes exactly the 8 x P bytes of the block; v holds a pixel a lane, samples in bytes 0-2 and
// (four samples) the fourth in byte 3.
template <int P>
inline void storePixels(uint8_t* px, __m256i v) {
  if constexpr (P == 4) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(px), v);
  } else {
    const __m256i pack =
        _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1,  //
                         0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    const __m256i packed = _mm256_shuffle_epi8(v, pack);
    const __m128i lo = _mm256_castsi256_si128(packed), hi = _mm256_extracti128_si256(packed, 1);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(px), lo);
    const int32_t loTail = _mm_extract_epi32(lo, 2);
    std::memcpy(px + 8, &loTail, 4);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(px + 12), hi);
    const int32_t hiTail = _mm_extract_epi32(hi, 2);
    std::memcpy(px + 20, &hiTail, 4);
  }
}

// kPairs: every coefficient fits 16 bits, so each sum is two 16 x 16 multiply-adds
// (|sum| <= 3 x 255 x 32768). Else three 32-bit products, within kMaxLaneCoef.
template <bool kMatrix, bool kTone, bool kPairs, int P>
int32_t rows(const Row8& k, uint8_t* row, int32_t width) {
  constexpr int32_t kNeed = P == 4 ? 8 : 10;  // a three-sample block reads ten pixels' bytes
  const __m256i zero = _mm256_setzero_si256(), max = _mm256_set1_epi32(int32_t(k.max));
  const __m256i first = spreadMask<P>(0, 1), third = spreadMask<P>(2, -1);
  const __m256i low16 = _mm256_set1_epi32(0xFFFF);
  __m256i c[9];
  for (int i = 0; i < 3; ++i) {
    const int32_t* r = k.coef + 3 * i;
    if constexpr (kPairs) {
      c[3 * i] =
          _mm256_set1_epi32(int32_t(uint32_t(uint16_t(r[0])) | uint32_t(uint16_t(r[1])) << 16));
      c[3 * i + 1] = _mm256_set1_epi32(int32_t(uint16_t(r[2])));
      c[3 * i + 2] = zero;
    } else {
      for (int j = 0; j < 3; ++j) c[3 * i + j] = _mm256_set1_epi32(r[j]);
    }
  }
  const auto* tone = reinterpret_cast<const int*>(k.tone);
  int32_t x = 0;
  for (; x + kNeed <= width; x += 8) {
    uint8_t* px = row + size_t(x) * P;
    const __m256i raw = loadPixels<P>(px);
    const __m256i s01 = _mm256_shuffle_epi8(raw, first), s2 = _mm256_shuffle_epi8(raw, third);
    __m256i o[3];
    if constexpr (kMatrix) {
      const __m256i s0 = kPairs ? zero : _mm256_and_si256(s01, low16);
      const __m256i s1 = kPairs ? zero : _mm256_srli_epi32(s01, 16);
      for (int i = 0; i < 3; ++i) {
        __m256i sum;
        if constexpr (kPairs) {
          sum = _mm256_add_epi32(_mm256_madd_epi16(s01, c[3 * i]),
                                 _mm256_madd_epi16(s2, c[3 * i + 1]));
        } else {
          sum = _mm256_add_epi32(_mm256_add_epi32(_mm256_mullo_epi32(s0, c[3 * i]),
                                                  _mm256_mullo_epi32(s1, c[3 * i + 1])),
                                 _mm256_mullo_epi32(s2, c[3 * i + 2]));
        }
        // Arithmetic shift: the floor of the quotient, as the 64-bit scalar sum.
        o[i] = _mm256_min_epi32(_mm256_max_epi32(_mm256_srai_epi32(sum, 14), zero), max);
      }
    } else {
      o[0] = _mm256_and_si256(s01, low16), o[1] = _mm256_srli_epi32(s01, 16), o[2] = s2;
    }
    if constexpr (kTone)
      for (auto& s : o) s = _mm256_i32gather_epi32(tone, s, 4);
    __m256i out = _mm256_or_si256(_mm256_or_si256(o[0], _mm256_slli_epi32(o[1], 8)),
                                  _mm256_slli_epi32(o[2], 16));
    if constexpr (P == 4)
      out = _mm256_or_si256(out, _mm256_andnot_si256(_mm256_set1_epi32(0xFFFFFF), raw));
    storePixels<P>(px, out);
  }
  return x;
}

bool fits16(const Row8& k) {
  for (int32_t c : k.coef)
    if (c < -32768 || c > 32767) return false;
  return true;
}

template <bool kMatrix, bool kTone>
int32_t byDepth(const Row8& k, uint8_t* row, int32_t width) {
  if (kMatrix && fits16(k))
    return k.p == 4 ? rows<kMatrix, kTone, true, 4>(k, row, width)
                    : rows<kMatrix, kTone, true, 3>(k, row, width);
  return k.p == 4 ? rows<kMatrix, kTone, false, 4>(k, row, width)
                  : rows<kMatrix, kTone, false, 3>(k, row, width);
}

}  // namespace

int32_t matrixRowAvx2(const Row8& k, uint8_t* row, int32_t width) {
  return byDepth<true, false>(k, row, width);
}
int32_t matrixToneRowAvx2(const Row8& k, uint8_t* row, int32_t width) {
  return byDepth<true, true>(k, row, width);
}
int32_t toneRowAvx2(const Row8& k, uint8_t* row, int32_t width) {
  return byDepth<false, true>(k, row, width);
}

}  // namespace kernels::colour
