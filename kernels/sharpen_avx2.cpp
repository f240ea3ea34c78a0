// The blur's full-window positions with AVX2: integer taps in 16 or 32-bit lanes, the Gaussian
// rows in doubles with the scalar loop's order of operations; and the apply step.
#include <immintrin.h>

#include <cstring>

#include "kernels/sharpen_line.h"

namespace kernels {
namespace {

// Eight samples widened to 32-bit lanes.
inline __m256i load8(const uint8_t* p) {
  return _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
}
inline __m256i load8(const uint16_t* p) {
  return _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}
// Four samples widened to 32-bit lanes.
inline __m128i load4(const uint8_t* p) {
  int32_t word;
  std::memcpy(&word, p, sizeof(word));
  return _mm_cvtepu8_epi32(_mm_cvtsi32_si128(word));
}
inline __m128i load4(const uint16_t* p) {
  return _mm_cvtepu16_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
}
// Eight 32-bit lanes (0 .. type max) back to samples.
inline void store8(uint8_t* p, __m256i v) {
  const __m128i w = _mm_packus_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_packus_epi16(w, w));
}
inline void store8(uint16_t* p, __m256i v) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p),
                   _mm_packus_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1)));
}

template <typename Sample>
int32_t integerTaps(const BlurLine<Sample>& l, int32_t i) {
  const int32_t r = l.taps / 2;
  const __m256i half = _mm256_set1_epi32(1 << l.shift >> 1);
  for (; i + 8 <= l.end; i += 8) {
    __m256i sum = half;
    for (int32_t j = 0; j < l.taps; ++j)
      sum = _mm256_add_epi32(sum, _mm256_mullo_epi32(load8(l.src + i + (j - r) * l.tapStep),
                                                     _mm256_set1_epi32(l.itap[j])));
    store8(l.dst + i, _mm256_srli_epi32(sum, l.shift));
  }
  return i;
}

// Four positions at a time in doubles: num in tap order, / den, + 0.5, truncated.
template <typename Sample>
__m128i gaussian4(const BlurLine<Sample>& l, int32_t i, __m256d den) {
  const int32_t r = l.taps / 2;
  __m256d num = _mm256_setzero_pd();
  for (int32_t j = 0; j < l.taps; ++j) {
    const Sample* s = l.src + i + (j - r) * l.tapStep;
    const __m128i v = load4(s);
    num = _mm256_add_pd(num, _mm256_mul_pd(_mm256_set1_pd(l.k[j]), _mm256_cvtepi32_pd(v)));
  }
  return _mm256_cvttpd_epi32(_mm256_add_pd(_mm256_div_pd(num, den), _mm256_set1_pd(0.5)));
}

template <typename Sample>
int32_t doubleTaps(const BlurLine<Sample>& l, int32_t i) {
  const __m256d den = _mm256_set1_pd(l.den);
  for (; i + 8 <= l.end; i += 8) {
    const __m256i v = _mm256_set_m128i(gaussian4(l, i + 4, den), gaussian4(l, i, den));
    store8(l.dst + i, v);
  }
  return i;
}

template <typename Sample>
int32_t blurLine(const BlurLine<Sample>& l, int32_t i) {
  return l.itap ? integerTaps(l, i) : doubleTaps(l, i);
}

// Eight samples at a time in 32-bit lanes. The quotient by 100 truncates towards zero: the
// magnitude's floor by multiply-high (exact for every 32-bit magnitude), the sign put back.
template <typename Sample>
int32_t unsharpLine(const UnsharpLine<Sample>& l, int32_t i) {
  if (l.amount < 0 || l.amount > kMaxVectorAmount) return i;
  const __m256i amount = _mm256_set1_epi32(l.amount), threshold = _mm256_set1_epi32(l.threshold);
  const __m256i top = _mm256_set1_epi32(l.max), magic = _mm256_set1_epi32(1374389535);
  const __m256i fourth =
      l.keepFourth ? _mm256_setr_epi32(0, 0, 0, -1, 0, 0, 0, -1) : _mm256_setzero_si256();
  for (; i + 8 <= l.end; i += 8) {
    const __m256i c = load8(l.copy + i);
    const __m256i d = _mm256_sub_epi32(c, load8(l.blurred + i));
    const __m256i n = _mm256_mullo_epi32(d, amount);
    const __m256i a = _mm256_abs_epi32(n);
    const __m256i even = _mm256_srli_epi64(_mm256_mul_epu32(a, magic), 37);
    const __m256i odd = _mm256_srli_epi64(_mm256_mul_epu32(_mm256_srli_epi64(a, 32), magic), 37);
    const __m256i q =
        _mm256_sign_epi32(_mm256_blend_epi32(even, _mm256_slli_epi64(odd, 32), 0xAA), n);
    const __m256i pushed =
        _mm256_min_epi32(_mm256_max_epi32(_mm256_add_epi32(c, q), _mm256_setzero_si256()), top);
    __m256i out = _mm256_blendv_epi8(c, pushed, _mm256_cmpgt_epi32(_mm256_abs_epi32(d), threshold));
    if (l.keepFourth) out = _mm256_blendv_epi8(out, load8(l.frame + i), fourth);
    store8(l.frame + i, out);
  }
  return i;
}

}  // namespace

int32_t sharpenLineAvx2(const UnsharpLine<uint8_t>& l, int32_t i) {
  return unsharpLine(l, i);
}
int32_t sharpenLineAvx2(const UnsharpLine<uint16_t>& l, int32_t i) {
  return unsharpLine(l, i);
}

int32_t sharpenLineAvx2(const BlurLine<uint8_t>& l, int32_t i) {
  return blurLine(l, i);
}
int32_t sharpenLineAvx2(const BlurLine<uint16_t>& l, int32_t i) {
  return blurLine(l, i);
}

}  // namespace kernels
