// Packed 4:2:2 to 3-byte pixels with SSSE3, 16 pixels per block, byte-equal to the tables.
#include <tmmintrin.h>

#include <array>

#include "kernels/yuv422_simd.h"

namespace kernels::yuv {
namespace {

// Eight words alternating a (U) and b (V), as the chroma words lie.
inline __m128i pairs(uint16_t a, uint16_t b) {
  return _mm_set1_epi32(int32_t(a | uint32_t(b) << 16));
}

using Mask = std::array<int8_t, 16>;
// Output register k of 16 interleaved pixels takes plane c's bytes this mask names.
constexpr std::array<std::array<Mask, 3>, 3> interleaveMasks() {
  std::array<std::array<Mask, 3>, 3> m{};
  for (int k = 0; k < 3; ++k)
    for (int c = 0; c < 3; ++c)
      for (int i = 0; i < 16; ++i) {
        const int j = 16 * k + i;
        m[size_t(k)][size_t(c)][size_t(i)] = j % 3 == c ? int8_t(j / 3) : int8_t(-128);
      }
  return m;
}
constexpr auto kInterleave = interleaveMasks();

inline __m128i load(const Mask& m) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(m.data()));
}

struct Planes {
  __m128i blue, green, red;  // eight 16-bit values each
};

// Eight pixels from four groups laid out U, Y0, V, Y1.
inline Planes convert8(__m128i v) {
  const __m128i luma = _mm_sub_epi16(_mm_srli_epi16(v, 8), _mm_set1_epi16(16));
  const __m128i la = _mm_abs_epi16(luma);
  const __m128i y =
      _mm_sign_epi16(_mm_add_epi16(la, _mm_mulhi_epu16(la, pairs(kLumaFrac, kLumaFrac))), luma);
  // Chroma words alternate U, V.
  const __m128i chroma = _mm_sub_epi16(_mm_and_si128(v, _mm_set1_epi16(0xFF)), _mm_set1_epi16(128));
  const __m128i ca = _mm_abs_epi16(chroma);
  const __m128i whole = _mm_mullo_epi16(ca, pairs(2, 1));
  const __m128i blueRed =
      _mm_sign_epi16(_mm_add_epi16(whole, _mm_mulhi_epu16(ca, pairs(kBlueFrac, kRedFrac))), chroma);
  const __m128i greens =
      _mm_sign_epi16(_mm_mulhi_epu16(ca, pairs(kUGreenFrac, kVGreenFrac)), chroma);
  const __m128i green = _mm_madd_epi16(greens, _mm_set1_epi16(1));  // U + V share per group
  // Both pixels of a group share its chroma: spread word 2g (or 2g + 1) over words 2g, 2g + 1.
  const __m128i even = _mm_setr_epi8(0, 1, 0, 1, 4, 5, 4, 5, 8, 9, 8, 9, 12, 13, 12, 13);
  const __m128i odd = _mm_setr_epi8(2, 3, 2, 3, 6, 7, 6, 7, 10, 11, 10, 11, 14, 15, 14, 15);
  return {_mm_add_epi16(y, _mm_shuffle_epi8(blueRed, even)),
          _mm_sub_epi16(y, _mm_shuffle_epi8(green, even)),
          _mm_add_epi16(y, _mm_shuffle_epi8(blueRed, odd))};
}

template <bool Alt, bool BgrOut>
size_t convert(const uint8_t* packed, uint8_t* out, size_t pixels) {
  const __m128i toAlt = _mm_setr_epi8(1, 3, 0, 2, 5, 7, 4, 6, 9, 11, 8, 10, 13, 15, 12, 14);
  size_t i = 0;
  for (; i + 16 <= pixels; i += 16) {
    __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(packed + 2 * i));
    __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(packed + 2 * i + 16));
    if constexpr (!Alt) v0 = _mm_shuffle_epi8(v0, toAlt), v1 = _mm_shuffle_epi8(v1, toAlt);
    const Planes a = convert8(v0), b = convert8(v1);
    // packus clamps to 0..255 exactly as the scalar clamp does.
    const __m128i blue = _mm_packus_epi16(a.blue, b.blue),
                  green = _mm_packus_epi16(a.green, b.green);
    const __m128i red = _mm_packus_epi16(a.red, b.red);
    const __m128i first = BgrOut ? blue : red, third = BgrOut ? red : blue;
    auto* dst = reinterpret_cast<__m128i*>(out + 3 * i);
    for (size_t k = 0; k < 3; ++k) {
      const __m128i r = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(first, load(kInterleave[k][0])),
                                                  _mm_shuffle_epi8(green, load(kInterleave[k][1]))),
                                     _mm_shuffle_epi8(third, load(kInterleave[k][2])));
      _mm_storeu_si128(dst + k, r);
    }
  }
  return i;
}

}  // namespace

size_t toRgb3Ssse3(const uint8_t* packed, uint8_t* out, size_t pixels, bool alt, bool bgr) {
  if (alt)
    return bgr ? convert<true, true>(packed, out, pixels)
               : convert<true, false>(packed, out, pixels);
  return bgr ? convert<false, true>(packed, out, pixels)
             : convert<false, false>(packed, out, pixels);
}

}  // namespace kernels::yuv
