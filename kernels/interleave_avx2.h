// Planes of 16 bytes to and from interleaved pixels; included by the AVX2 units only.
#pragma once

#include <immintrin.h>

#include <array>
#include <cstdint>

namespace kernels::avx2 {

// pshufb masks placing three 16-byte planes into 16-byte blocks of interleaved pixels.
template <typename Sample>
constexpr std::array<std::array<std::array<int8_t, 16>, 3>, 3> interleaveMasks() {
  std::array<std::array<std::array<int8_t, 16>, 3>, 3> m{};  // [output block][plane][byte]
  for (int block = 0; block < 3; ++block)
    for (int plane = 0; plane < 3; ++plane)
      for (int k = 0; k < 16; ++k) {
        const int byte = block * 16 + k;
        const int sample = byte / int(sizeof(Sample)), part = byte % int(sizeof(Sample));
        const int pixel = sample / 3, channel = sample % 3;
        m[block][plane][k] =
            channel == plane ? int8_t(pixel * sizeof(Sample) + part) : int8_t(-128);
      }
  return m;
}

template <typename Sample>
inline void store3(Sample* out, const __m128i ch[3]) {
  static constexpr auto kMasks = interleaveMasks<Sample>();
  for (int block = 0; block < 3; ++block) {
    __m128i v = _mm_setzero_si128();
    for (int plane = 0; plane < 3; ++plane) {
      const __m128i mask =
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(kMasks[block][plane].data()));
      v = _mm_or_si128(v, _mm_shuffle_epi8(ch[plane], mask));
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out) + block, v);
  }
}

// Four-sample pixels: the fourth sample keeps what the buffer held.
template <typename Sample>
inline void store4(Sample* out, const __m128i ch[3]) {
  const __m128i zero = _mm_setzero_si128();
  __m128i q[4];
  if constexpr (sizeof(Sample) == 1) {
    const __m128i abLo = _mm_unpacklo_epi8(ch[0], ch[1]), abHi = _mm_unpackhi_epi8(ch[0], ch[1]);
    const __m128i czLo = _mm_unpacklo_epi8(ch[2], zero), czHi = _mm_unpackhi_epi8(ch[2], zero);
    q[0] = _mm_unpacklo_epi16(abLo, czLo), q[1] = _mm_unpackhi_epi16(abLo, czLo);
    q[2] = _mm_unpacklo_epi16(abHi, czHi), q[3] = _mm_unpackhi_epi16(abHi, czHi);
  } else {
    const __m128i abLo = _mm_unpacklo_epi16(ch[0], ch[1]), abHi = _mm_unpackhi_epi16(ch[0], ch[1]);
    const __m128i czLo = _mm_unpacklo_epi16(ch[2], zero), czHi = _mm_unpackhi_epi16(ch[2], zero);
    q[0] = _mm_unpacklo_epi32(abLo, czLo), q[1] = _mm_unpackhi_epi32(abLo, czLo);
    q[2] = _mm_unpacklo_epi32(abHi, czHi), q[3] = _mm_unpackhi_epi32(abHi, czHi);
  }
  const __m128i fourth = sizeof(Sample) == 1 ? _mm_set1_epi32(int32_t(0xFF000000u))
                                             : _mm_set1_epi64x(int64_t(0xFFFF000000000000ull));
  __m128i* dst = reinterpret_cast<__m128i*>(out);
  for (int i = 0; i < 4; ++i)
    _mm_storeu_si128(dst + i, _mm_blendv_epi8(q[i], _mm_loadu_si128(dst + i), fourth));
}

// pshufb masks gathering channel 1 of 16 / sizeof(Sample) pixels of P samples from P 16-byte
// blocks into one plane.
template <typename Sample, int P>
constexpr std::array<std::array<int8_t, 16>, P> greenMasks() {
  std::array<std::array<int8_t, 16>, P> m{};  // [input block][byte of the plane]
  for (int block = 0; block < P; ++block)
    for (int k = 0; k < 16; ++k) {
      const int pixel = k / int(sizeof(Sample)), part = k % int(sizeof(Sample));
      const int source = (pixel * P + 1) * int(sizeof(Sample)) + part - 16 * block;
      m[block][k] = source >= 0 && source < 16 ? int8_t(source) : int8_t(-128);
    }
  return m;
}

// Channel 1 of the 16 bytes' worth of pixels starting at px.
template <typename Sample, int P>
inline __m128i loadGreen(const Sample* px) {
  static constexpr auto kMasks = greenMasks<Sample, P>();
  const __m128i* src = reinterpret_cast<const __m128i*>(px);
  __m128i v = _mm_setzero_si128();
  for (int block = 0; block < P; ++block) {
    const __m128i mask = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kMasks[block].data()));
    v = _mm_or_si128(v, _mm_shuffle_epi8(_mm_loadu_si128(src + block), mask));
  }
  return v;
}

}  // namespace kernels::avx2
