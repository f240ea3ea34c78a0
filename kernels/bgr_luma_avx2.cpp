// Luma with AVX2: each channel's bytes widened to words and scaled by a 16-bit multiplier whose
// high half equals that channel's truncated byte-table entry for every byte value.
#include <immintrin.h>

#include "kernels/bgr_luma.h"

namespace kernels::luma {
namespace {

// (v x M) >> 16 equals trunc(v x weight) for v = 0..255: 0.299, 0.587 and 0.114.
constexpr int16_t kRedScale = 19595, kGreenScale = int16_t(38469u), kBlueScale = 7472;
constexpr char kZero = char(0x80);  // a shuffle index that writes 0

// Shuffles of one lane whose four pixels start at byte o: blue 0-3 then green 0-3 as words, and
// red 0-3 as words with four zero words after them.
#define ZX_BG(o)                                                                                \
  o, kZero, o + 3, kZero, o + 6, kZero, o + 9, kZero, o + 1, kZero, o + 4, kZero, o + 7, kZero, \
      o + 10, kZero
#define ZX_R(o)                                                                               \
  o + 2, kZero, o + 5, kZero, o + 8, kZero, o + 11, kZero, kZero, kZero, kZero, kZero, kZero, \
      kZero, kZero, kZero

struct Orders {
  __m256i bg, r;
};

// Four lumas in the low four words of each lane (pixels 0-3 low, 4-7 high); the high four words
// hold leftovers.
inline __m256i lumaOf(__m256i px, const Orders& o, __m256i bgScale, __m256i rScale) {
  const __m256i bg = _mm256_mulhi_epu16(_mm256_shuffle_epi8(px, o.bg), bgScale);
  const __m256i r = _mm256_mulhi_epu16(_mm256_shuffle_epi8(px, o.r), rScale);
  return _mm256_add_epi16(_mm256_add_epi16(bg, _mm256_srli_si256(bg, 8)), r);
}

// Eight pixels (24 bytes): pixels 0-3 in the low lane from the block's first 16 bytes, 4-7 in the
// high one from its last 16. Reads only the block's bytes.
inline __m256i eightPixels(const uint8_t* s) {
  const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
  const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 8));
  return _mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1);
}

// The same from one 32-byte load starting 4 bytes before the block (the previous pixel's bytes)
// and ending 4 after it, which puts pixels 0-3 at bytes 4-15 of the low lane and 4-7 at bytes 0-11
// of the high one: no lane insert, which shares the shuffle port.
inline __m256i eightPixelsBehind(const uint8_t* s) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s - 4));
}

// Thirty-two lumas, in order, from four groups of eight.
inline __m256i pack(__m256i a, __m256i b, __m256i c, __m256i d, __m256i dwordOrder) {
  // Per lane: a's four, b's four | c's four, d's four; lumas stay below 255. As dwords of four
  // pixels the groups come out 0 2 4 6 1 3 5 7.
  const __m256i ab = _mm256_unpacklo_epi64(a, b), cd = _mm256_unpacklo_epi64(c, d);
  return _mm256_permutevar8x32_epi32(_mm256_packus_epi16(ab, cd), dwordOrder);
}

}  // namespace

uint32_t rowAvx2(const uint8_t* src, uint8_t* dst, uint32_t width) {
  // Within a block the low lane's pixels start at byte 0 and the high lane's at 4; behind it, the
  // other way round.
  const Orders within{_mm256_setr_epi8(ZX_BG(0), ZX_BG(4)), _mm256_setr_epi8(ZX_R(0), ZX_R(4))};
  const Orders behind{_mm256_setr_epi8(ZX_BG(4), ZX_BG(0)), _mm256_setr_epi8(ZX_R(4), ZX_R(0))};
  const __m256i bgScale =
      _mm256_setr_epi16(kBlueScale, kBlueScale, kBlueScale, kBlueScale, kGreenScale, kGreenScale,
                        kGreenScale, kGreenScale, kBlueScale, kBlueScale, kBlueScale, kBlueScale,
                        kGreenScale, kGreenScale, kGreenScale, kGreenScale);
  const __m256i rScale = _mm256_set1_epi16(kRedScale);
  const __m256i dwordOrder = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
  const auto block = [&](uint32_t x, bool back) {
    const uint8_t* s = src + size_t{3} * x;
    __m256i g[4];
    for (int k = 0; k < 4; ++k) {
      const uint8_t* p = s + 24 * k;
      g[k] = back ? lumaOf(eightPixelsBehind(p), behind, bgScale, rScale)
                  : lumaOf(eightPixels(p), within, bgScale, rScale);
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + x),
                        pack(g[0], g[1], g[2], g[3], dwordOrder));
  };
  // A load that starts 4 bytes before its eight pixels also ends 4 bytes after them: the first
  // group of a row, and a last group with no pixel after it, take the two-load form instead.
  uint32_t x = 0;
  if (width >= 32) block(0, false), x = 32;
  for (; x + 34 <= width; x += 32) block(x, true);
  if (x + 32 <= width) block(x, false), x += 32;
  return x;
}

#undef ZX_BG
#undef ZX_R

}  // namespace kernels::luma
