// Binning by 2 with SSE2 and the processor choice; the AVX2 body is in raw_bin_avx2.cpp.
#include "kernels/raw_bin.h"

#include "kernels/dispatch.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kernels {
namespace {

#if defined(__SSE2__)
// 8 quads (32 inputs a row) a block: the rows are added as 16-bit words, then each 32-bit lane
// (one quad's two colours) to its neighbour.
template <bool Average>
uint32_t quadsSse2(const uint8_t* a, const uint8_t* b, uint8_t* out, uint32_t quads,
                   uint8_t maximum) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i cap = _mm_set1_epi16(maximum);
  auto neighbours = [](__m128i x, __m128i y) {
    const __m128 fx = _mm_castsi128_ps(x), fy = _mm_castsi128_ps(y);
    return _mm_add_epi16(_mm_castps_si128(_mm_shuffle_ps(fx, fy, _MM_SHUFFLE(2, 0, 2, 0))),
                         _mm_castps_si128(_mm_shuffle_ps(fx, fy, _MM_SHUFFLE(3, 1, 3, 1))));
  };
  auto finish = [&](__m128i sum) {
    return Average ? _mm_srli_epi16(sum, 2) : _mm_min_epi16(sum, cap);
  };
  auto load = [](const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); };
  uint32_t q = 0;
  for (; q + 8 <= quads; q += 8) {
    const size_t i = size_t{4} * q;
    const __m128i a0 = load(a + i), a1 = load(a + i + 16);
    const __m128i b0 = load(b + i), b1 = load(b + i + 16);
    const __m128i s0 = _mm_add_epi16(_mm_unpacklo_epi8(a0, zero), _mm_unpacklo_epi8(b0, zero));
    const __m128i s1 = _mm_add_epi16(_mm_unpackhi_epi8(a0, zero), _mm_unpackhi_epi8(b0, zero));
    const __m128i s2 = _mm_add_epi16(_mm_unpacklo_epi8(a1, zero), _mm_unpacklo_epi8(b1, zero));
    const __m128i s3 = _mm_add_epi16(_mm_unpackhi_epi8(a1, zero), _mm_unpackhi_epi8(b1, zero));
    const __m128i lo = finish(neighbours(s0, s1));
    const __m128i hi = finish(neighbours(s2, s3));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * size_t{q}), _mm_packus_epi16(lo, hi));
  }
  return q;
}
#endif

BinQuadsFn chooseSum(Isa isa) {
  if (isa == Isa::Avx2) return &bin::sumAvx2;
  return isa == Isa::Sse2 ? &bin::sumSse2 : nullptr;
}

BinQuadsFn chooseAverage(Isa isa) {
  if (isa == Isa::Avx2) return &bin::averageAvx2;
  return isa == Isa::Sse2 ? &bin::averageSse2 : nullptr;
}

DispatchPointer<BinQuadsFn> gSum{&chooseSum};
DispatchPointer<BinQuadsFn> gAverage{&chooseAverage};

}  // namespace

BinQuadsFn BinQuadsBy2(bool average) {
  return average ? gAverage.get() : gSum.get();
}

namespace bin {
#if defined(__SSE2__)
uint32_t sumSse2(const uint8_t* a, const uint8_t* b, uint8_t* out, uint32_t quads,
                 uint8_t maximum) {
  return quadsSse2<false>(a, b, out, quads, maximum);
}
uint32_t averageSse2(const uint8_t* a, const uint8_t* b, uint8_t* out, uint32_t quads,
                     uint8_t maximum) {
  return quadsSse2<true>(a, b, out, quads, maximum);
}
#else
uint32_t sumSse2(const uint8_t*, const uint8_t*, uint8_t*, uint32_t, uint8_t) {
  return 0;
}
uint32_t averageSse2(const uint8_t*, const uint8_t*, uint8_t*, uint32_t, uint8_t) {
  return 0;
}
#endif
}  // namespace bin

}  // namespace kernels
