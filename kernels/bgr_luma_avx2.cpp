// Luma with AVX2: each pixel becomes blue, green, red, green bytes so one multiply-add of
// byte pairs and one of word pairs give its weighted sum.
#include <immintrin.h>

#include "kernels/bgr_luma.h"

namespace kernels::luma {
namespace {

// Eight pixels (24 bytes) to eight 32-bit weighted sums: pixels 0-3 in the low lane from the
// block's first 16 bytes, 4-7 in the high one from its last 16. Reads only the block's bytes.
inline __m256i eightPixels(const uint8_t* s, __m256i order, __m256i weights, __m256i ones) {
  const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
  const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 8));
  const __m256i px = _mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1);
  const __m256i pairs = _mm256_maddubs_epi16(_mm256_shuffle_epi8(px, order), weights);
  return _mm256_madd_epi16(pairs, ones);
}

// The same from one 32-byte load starting 4 bytes before the block (the previous pixel's bytes)
// and ending 4 after it, which puts pixels 0-3 at bytes 4-15 of the low lane and 4-7 at bytes 0-11
// of the high one: no lane insert, which shares the shuffle port.
inline __m256i eightPixelsBehind(const uint8_t* s, __m256i order, __m256i weights, __m256i ones) {
  const __m256i px = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s - 4));
  const __m256i pairs = _mm256_maddubs_epi16(_mm256_shuffle_epi8(px, order), weights);
  return _mm256_madd_epi16(pairs, ones);
}

// Thirty-two pixels' rounded luma, in order, from four groups of eight sums.
inline __m256i packLuma(__m256i a, __m256i b, __m256i c, __m256i d, __m256i half,
                        __m256i dwordOrder) {
  // Sums reach 255 * 256, so they are rounded as unsigned words. Packing works per lane:
  // 4-pixel groups come out 0 2 4 6 1 3 5 7.
  const __m256i ab = _mm256_srli_epi16(_mm256_add_epi16(_mm256_packus_epi32(a, b), half), 8);
  const __m256i cd = _mm256_srli_epi16(_mm256_add_epi16(_mm256_packus_epi32(c, d), half), 8);
  return _mm256_permutevar8x32_epi32(_mm256_packus_epi16(ab, cd), dwordOrder);
}

}  // namespace

uint32_t rowAvx2(const uint8_t* src, uint8_t* dst, uint32_t width) {
  // Low lane: pixels at bytes 0-11; high lane: at bytes 4-15 of its load.
  const __m256i order = _mm256_setr_epi8(0, 1, 2, 1, 3, 4, 5, 4, 6, 7, 8, 7, 9, 10, 11, 10,  //
                                         4, 5, 6, 5, 7, 8, 9, 8, 10, 11, 12, 11, 13, 14, 15, 14);
  // Green's 150 split 99 + 51: signed byte weights, and no pair sum above 255 * 128.
  const __m256i weights = _mm256_set1_epi32(29 | 99 << 8 | 77 << 16 | 51 << 24);
  const __m256i ones = _mm256_set1_epi16(1);
  const __m256i half = _mm256_set1_epi16(128);
  const __m256i dwordOrder = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
  // A load that starts 4 bytes before its eight pixels also ends 4 bytes after them: the first
  // group of a row, and a last group with no pixel after it, take the two-load form instead.
  const __m256i orderBehind =
      _mm256_setr_epi8(4, 5, 6, 5, 7, 8, 9, 8, 10, 11, 12, 11, 13, 14, 15, 14,  //
                       0, 1, 2, 1, 3, 4, 5, 4, 6, 7, 8, 7, 9, 10, 11, 10);
  const auto within = [&](uint32_t x) {
    const uint8_t* s = src + size_t{3} * x;
    const __m256i a = eightPixels(s, order, weights, ones);
    const __m256i b = eightPixels(s + 24, order, weights, ones);
    const __m256i c = eightPixels(s + 48, order, weights, ones);
    const __m256i d = eightPixels(s + 72, order, weights, ones);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + x),
                        packLuma(a, b, c, d, half, dwordOrder));
  };
  uint32_t x = 0;
  if (width >= 32) within(0), x = 32;
  for (; x + 34 <= width; x += 32) {
    const uint8_t* s = src + size_t{3} * x;
    const __m256i a = eightPixelsBehind(s, orderBehind, weights, ones);
    const __m256i b = eightPixelsBehind(s + 24, orderBehind, weights, ones);
    const __m256i c = eightPixelsBehind(s + 48, orderBehind, weights, ones);
    const __m256i d = eightPixelsBehind(s + 72, orderBehind, weights, ones);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + x),
                        packLuma(a, b, c, d, half, dwordOrder));
  }
  if (x + 32 <= width) within(x), x += 32;
  return x;
}

}  // namespace kernels::luma
