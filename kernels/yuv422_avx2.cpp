// Packed 4:2:2 to 3-byte pixels with AVX2, 32 pixels per block: the SSSE3 arithmetic in both
// lanes, each lane making 16 consecutive pixels.
#include <immintrin.h>

#include <array>

#include "kernels/byte_lookup_avx2.h"
#include "kernels/yuv422_simd.h"

namespace kernels::yuv {
namespace {

// Sixteen words alternating a (U) and b (V), as the chroma words lie.
inline __m256i pairs(uint16_t a, uint16_t b) {
  return _mm256_set1_epi32(int32_t(a | uint32_t(b) << 16));
}

inline __m256i inBothLanes(const std::array<int8_t, 16>& m) {
  return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(m.data())));
}

// Output part k of a lane's 16 interleaved pixels takes plane c's bytes this mask names.
std::array<int8_t, 16> interleaveMask(int k, int c) {
  std::array<int8_t, 16> m{};
  for (int i = 0; i < 16; ++i) {
    const int j = 16 * k + i;
    m[size_t(i)] = j % 3 == c ? int8_t(j / 3) : int8_t(-128);
  }
  return m;
}

struct Planes {
  __m256i blue, green, red;  // eight 16-bit values in each lane
};

// Eight pixels a lane from four groups laid out U, Y0, V, Y1.
inline Planes convert16(__m256i v) {
  const __m256i luma = _mm256_sub_epi16(_mm256_srli_epi16(v, 8), _mm256_set1_epi16(16));
  const __m256i la = _mm256_abs_epi16(luma);
  const __m256i y = _mm256_sign_epi16(
      _mm256_add_epi16(la, _mm256_mulhi_epu16(la, pairs(kLumaFrac, kLumaFrac))), luma);
  // Chroma words alternate U, V.
  const __m256i chroma =
      _mm256_sub_epi16(_mm256_and_si256(v, _mm256_set1_epi16(0xFF)), _mm256_set1_epi16(128));
  const __m256i ca = _mm256_abs_epi16(chroma);
  const __m256i whole = _mm256_mullo_epi16(ca, pairs(2, 1));
  const __m256i blueRed = _mm256_sign_epi16(
      _mm256_add_epi16(whole, _mm256_mulhi_epu16(ca, pairs(kBlueFrac, kRedFrac))), chroma);
  const __m256i greens =
      _mm256_sign_epi16(_mm256_mulhi_epu16(ca, pairs(kUGreenFrac, kVGreenFrac)), chroma);
  const __m256i green = _mm256_madd_epi16(greens, _mm256_set1_epi16(1));  // U + V per group
  // Both pixels of a group share its chroma: spread word 2g (or 2g + 1) over words 2g, 2g + 1.
  const __m256i even = _mm256_broadcastsi128_si256(
      _mm_setr_epi8(0, 1, 0, 1, 4, 5, 4, 5, 8, 9, 8, 9, 12, 13, 12, 13));
  const __m256i odd = _mm256_broadcastsi128_si256(
      _mm_setr_epi8(2, 3, 2, 3, 6, 7, 6, 7, 10, 11, 10, 11, 14, 15, 14, 15));
  return {_mm256_add_epi16(y, _mm256_shuffle_epi8(blueRed, even)),
          _mm256_sub_epi16(y, _mm256_shuffle_epi8(green, even)),
          _mm256_add_epi16(y, _mm256_shuffle_epi8(blueRed, odd))};
}

// Lane 0 reads pixels 8h to 8h + 7 of the block, lane 1 the same 16 pixels on.
inline __m256i loadHalf(const uint8_t* block, int h) {
  const auto* lo = reinterpret_cast<const __m128i*>(block + 16 * h);
  const auto* hi = reinterpret_cast<const __m128i*>(block + 32 + 16 * h);
  return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(lo)), _mm_loadu_si128(hi),
                                 1);
}

// Without tables, slices is not read.
template <bool Alt, bool BgrOut, bool Tables>
size_t convert(const uint8_t* packed, uint8_t* out, size_t pixels, const __m256i (*slices)[16]) {
  const __m256i toAlt = _mm256_broadcastsi128_si256(
      _mm_setr_epi8(1, 3, 0, 2, 5, 7, 4, 6, 9, 11, 8, 10, 13, 15, 12, 14));
  __m256i mask[3][3];
  for (int k = 0; k < 3; ++k)
    for (int c = 0; c < 3; ++c) mask[k][c] = inBothLanes(interleaveMask(k, c));
  size_t i = 0;
  for (; i + 32 <= pixels; i += 32) {
    __m256i v0 = loadHalf(packed + 2 * i, 0), v1 = loadHalf(packed + 2 * i, 1);
    if constexpr (!Alt) v0 = _mm256_shuffle_epi8(v0, toAlt), v1 = _mm256_shuffle_epi8(v1, toAlt);
    const Planes a = convert16(v0), b = convert16(v1);
    // packus clamps to 0..255 exactly as the scalar clamp does; per lane it joins a lane's
    // pixels 0-7 and 8-15.
    const __m256i blue = _mm256_packus_epi16(a.blue, b.blue),
                  green = _mm256_packus_epi16(a.green, b.green),
                  red = _mm256_packus_epi16(a.red, b.red);
    __m256i first = BgrOut ? blue : red, second = green, third = BgrOut ? red : blue;
    if constexpr (Tables) {
      first = bytes::lookup32(slices[0], first);
      second = bytes::lookup32(slices[1], second);
      third = bytes::lookup32(slices[2], third);
    }
    uint8_t* dst = out + 3 * i;
    for (int k = 0; k < 3; ++k) {
      const __m256i r = _mm256_or_si256(_mm256_or_si256(_mm256_shuffle_epi8(first, mask[k][0]),
                                                        _mm256_shuffle_epi8(second, mask[k][1])),
                                        _mm256_shuffle_epi8(third, mask[k][2]));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 16 * k), _mm256_castsi256_si128(r));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 48 + 16 * k),
                       _mm256_extracti128_si256(r, 1));
    }
  }
  return i;
}

}  // namespace

size_t toRgb3Avx2(const uint8_t* packed, uint8_t* out, size_t pixels, bool alt, bool bgr) {
  size_t i = 0;
  if (alt)
    i = bgr ? convert<true, true, false>(packed, out, pixels, nullptr)
            : convert<true, false, false>(packed, out, pixels, nullptr);
  else
    i = bgr ? convert<false, true, false>(packed, out, pixels, nullptr)
            : convert<false, false, false>(packed, out, pixels, nullptr);
  return i + toRgb3Ssse3(packed + 2 * i, out + 3 * i, pixels - i, alt, bgr);
}

size_t toRgb3TablesAvx2(const uint8_t* packed, uint8_t* out, size_t pixels, bool alt, bool bgr,
                        const uint8_t* const tables[3]) {
  __m256i slices[3][16];
  for (int k = 0; k < 3; ++k) bytes::loadSlices(tables[k], slices[k]);
  if (alt)
    return bgr ? convert<true, true, true>(packed, out, pixels, slices)
               : convert<true, false, true>(packed, out, pixels, slices);
  return bgr ? convert<false, true, true>(packed, out, pixels, slices)
             : convert<false, false, true>(packed, out, pixels, slices);
}

}  // namespace kernels::yuv
