// VNG demosaic interior with AVX2: both site kinds worked out on every lane, chosen by column.
#include <immintrin.h>

#include <algorithm>

#include "kernels/interleave_avx2.h"
#include "kernels/vng_row.h"

namespace kernels {
namespace {

// 8-bit samples in 16-bit lanes (every sum stays below 2^11), 16-bit samples in 32-bit lanes.
template <typename Sample>
struct Lanes;

template <>
struct Lanes<uint8_t> {
  static constexpr int32_t kCount = 16;
  static __m256i load(const uint8_t* p) {
    return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
  }
  static __m256i set1(int32_t v) { return _mm256_set1_epi16(static_cast<int16_t>(v)); }
  static __m256i add(__m256i a, __m256i b) { return _mm256_add_epi16(a, b); }
  static __m256i sub(__m256i a, __m256i b) { return _mm256_sub_epi16(a, b); }
  static __m256i abs(__m256i a) { return _mm256_abs_epi16(a); }
  static __m256i shr1(__m256i a) { return _mm256_srli_epi16(a, 1); }
  static __m256i shr2(__m256i a) { return _mm256_srli_epi16(a, 2); }
  static __m256i min(__m256i a, __m256i b) { return _mm256_min_epi16(a, b); }
  static __m256i max(__m256i a, __m256i b) { return _mm256_max_epi16(a, b); }
  static __m256i greater(__m256i a, __m256i b) { return _mm256_cmpgt_epi16(a, b); }
  static __m256i evenLanes() { return _mm256_set1_epi32(0x0000FFFF); }
  // a / n toward zero for |a| <= 2040 and n = 1..8: |a| x ceil(2^15 / n) / 2^15 lands within
  // 1/16 above the quotient, never past the next integer.
  static __m256i divide(__m256i a, __m256i n) {
    const __m256i table =
        _mm256_setr_epi16(int16_t(-32768), 16384, 10923, 8192, 6554, 5462, 4682, 4096,
                          int16_t(-32768), 16384, 10923, 8192, 6554, 5462, 4682, 4096);
    const __m256i pair = _mm256_slli_epi16(_mm256_sub_epi16(n, _mm256_set1_epi16(1)), 1);
    const __m256i index =
        _mm256_or_si256(pair, _mm256_slli_epi16(_mm256_add_epi16(pair, _mm256_set1_epi16(1)), 8));
    const __m256i scale = _mm256_shuffle_epi8(table, index);
    const __m256i q = _mm256_mulhi_epu16(_mm256_slli_epi16(_mm256_abs_epi16(a), 1), scale);
    return _mm256_sign_epi16(q, a);
  }
  // The 16 lanes as bytes in order.
  static __m128i narrow(__m256i v) {
    return _mm256_castsi256_si128(_mm256_permute4x64_epi64(_mm256_packus_epi16(v, v), 0x08));
  }
};

template <>
struct Lanes<uint16_t> {
  static constexpr int32_t kCount = 8;
  static __m256i load(const uint16_t* p) {
    return _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
  }
  static __m256i set1(int32_t v) { return _mm256_set1_epi32(v); }
  static __m256i add(__m256i a, __m256i b) { return _mm256_add_epi32(a, b); }
  static __m256i sub(__m256i a, __m256i b) { return _mm256_sub_epi32(a, b); }
  static __m256i abs(__m256i a) { return _mm256_abs_epi32(a); }
  static __m256i shr1(__m256i a) { return _mm256_srli_epi32(a, 1); }
  static __m256i shr2(__m256i a) { return _mm256_srli_epi32(a, 2); }
  static __m256i min(__m256i a, __m256i b) { return _mm256_min_epi32(a, b); }
  static __m256i max(__m256i a, __m256i b) { return _mm256_max_epi32(a, b); }
  static __m256i greater(__m256i a, __m256i b) { return _mm256_cmpgt_epi32(a, b); }
  static __m256i evenLanes() { return _mm256_set1_epi64x(0x00000000FFFFFFFFll); }
  // a / n toward zero for |a| < 2^19: the rounded single-precision quotient stays within 1/64 of
  // the exact one, and a fraction of it is at least 1/8 away from the next integer.
  static __m256i divide(__m256i a, __m256i n) {
    return _mm256_cvttps_epi32(_mm256_div_ps(_mm256_cvtepi32_ps(a), _mm256_cvtepi32_ps(n)));
  }
  // The 8 lanes as 16-bit samples in order (saturating: samples above the depth stay intact).
  static __m128i narrow(__m256i v) {
    return _mm256_castsi256_si128(_mm256_permute4x64_epi64(_mm256_packus_epi32(v, v), 0x08));
  }
};

// The 5 x 5 raw window of a block of lanes.
template <typename Sample>
struct Window {
  using L = Lanes<Sample>;
  __m256i Z, N, S, W, E, NW, NE, SW, SE, NN, SS, WW, EE, NNW, NNE, SSW, SSE, NWW, NEE, SWW, SEE,
      NNWW, NNEE, SSWW, SSEE;
  Window(const Sample* z, ptrdiff_t q) {
    auto at = [&](int dx, int dy) { return L::load(z + dy * q + dx); };
    Z = at(0, 0), N = at(0, -1), S = at(0, 1), W = at(-1, 0), E = at(1, 0);
    NW = at(-1, -1), NE = at(1, -1), SW = at(-1, 1), SE = at(1, 1);
    NN = at(0, -2), SS = at(0, 2), WW = at(-2, 0), EE = at(2, 0);
    NNW = at(-1, -2), NNE = at(1, -2), SSW = at(-1, 2), SSE = at(1, 2);
    NWW = at(-2, -1), NEE = at(2, -1), SWW = at(-2, 1), SEE = at(2, 1);
    NNWW = at(-2, -2), NNEE = at(2, -2), SSWW = at(-2, 2), SSEE = at(2, 2);
  }
};

template <typename Sample>
struct Ops {
  using L = Lanes<Sample>;
  __m256i green;  // all ones on green-site lanes
  __m256i diff(__m256i a, __m256i b) const { return L::abs(L::sub(a, b)); }
  __m256i half(__m256i a, __m256i b) const { return L::shr1(diff(a, b)); }
  __m256i mean2(__m256i a, __m256i b) const { return L::shr1(L::add(a, b)); }
  __m256i mean4(__m256i a, __m256i b, __m256i c, __m256i d) const {
    return L::shr2(L::add(L::add(a, b), L::add(c, d)));
  }
  __m256i add(__m256i a, __m256i b, __m256i c, __m256i d) const {
    return L::add(L::add(a, b), L::add(c, d));
  }
  // The colour site's value on red and blue lanes, the green site's on green lanes.
  __m256i pick(__m256i colour, __m256i greenSite) const {
    return _mm256_blendv_epi8(colour, greenSite, green);
  }
};

// Gradients and estimates in the order N, E, W, S, NE, SE, NW, SW.
template <typename Sample>
struct Directions {
  __m256i grad[8], est[3][8];

  Directions(const Window<Sample>& s, const Ops<Sample>& o) {
    using L = Lanes<Sample>;
    grad[0] = o.add(L::add(o.diff(s.NN, s.Z), o.diff(s.N, s.S)), o.half(s.NW, s.SW),
                    o.half(s.NE, s.SE), L::add(o.half(s.NNW, s.W), o.half(s.NNE, s.E)));
    grad[1] = o.add(L::add(o.diff(s.EE, s.Z), o.diff(s.E, s.W)), o.half(s.NE, s.NW),
                    o.half(s.SE, s.SW), L::add(o.half(s.NEE, s.N), o.half(s.SEE, s.S)));
    grad[2] = o.add(L::add(o.diff(s.WW, s.Z), o.diff(s.W, s.E)), o.half(s.NW, s.NE),
                    o.half(s.SW, s.SE), L::add(o.half(s.NWW, s.N), o.half(s.SWW, s.S)));
    grad[3] = o.add(L::add(o.diff(s.SS, s.Z), o.diff(s.S, s.N)), o.half(s.SW, s.NW),
                    o.half(s.SE, s.NE), L::add(o.half(s.SSW, s.W), o.half(s.SSE, s.E)));
    grad[4] = L::add(
        L::add(o.diff(s.NNEE, s.Z), o.diff(s.NE, s.SW)),
        o.pick(o.add(o.half(s.N, s.W), o.half(s.E, s.S), o.half(s.NNE, s.N), o.half(s.NEE, s.E)),
               L::add(o.diff(s.NNE, s.W), o.diff(s.NEE, s.S))));
    grad[5] = L::add(
        L::add(o.diff(s.SSEE, s.Z), o.diff(s.SE, s.NW)),
        o.pick(o.add(o.half(s.E, s.N), o.half(s.S, s.W), o.half(s.SEE, s.E), o.half(s.SSE, s.S)),
               L::add(o.diff(s.SSE, s.W), o.diff(s.SEE, s.N))));
    grad[6] = L::add(
        L::add(o.diff(s.NNWW, s.Z), o.diff(s.NW, s.SE)),
        o.pick(o.add(o.half(s.W, s.S), o.half(s.N, s.E), o.half(s.NWW, s.W), o.half(s.NNW, s.N)),
               L::add(o.diff(s.NNW, s.E), o.diff(s.NWW, s.S))));
    grad[7] = L::add(
        L::add(o.diff(s.SSWW, s.Z), o.diff(s.SW, s.NE)),
        o.pick(o.add(o.half(s.S, s.E), o.half(s.W, s.N), o.half(s.SSW, s.S), o.half(s.SWW, s.W)),
               L::add(o.diff(s.SSW, s.E), o.diff(s.SWW, s.N))));
    estimates(s, o);
  }

  void estimates(const Window<Sample>& s, const Ops<Sample>& o) {
    const __m256i e0[8] = {o.mean2(s.NN, s.Z),
                           o.mean2(s.EE, s.Z),
                           o.mean2(s.WW, s.Z),
                           o.mean2(s.SS, s.Z),
                           o.pick(o.mean2(s.NNEE, s.Z), s.NE),
                           o.pick(o.mean2(s.SSEE, s.Z), s.SE),
                           o.pick(o.mean2(s.NNWW, s.Z), s.NW),
                           o.pick(o.mean2(s.SSWW, s.Z), s.SW)};
    const __m256i e1[8] = {o.pick(s.N, o.mean4(s.NNW, s.NNE, s.W, s.E)),
                           s.E,
                           s.W,
                           o.pick(s.S, o.mean4(s.SSW, s.SSE, s.W, s.E)),
                           o.pick(o.mean4(s.N, s.NNE, s.E, s.NEE), o.mean2(s.NNE, s.E)),
                           o.pick(o.mean4(s.S, s.SSE, s.E, s.SEE), o.mean2(s.SSE, s.E)),
                           o.pick(o.mean4(s.N, s.NNW, s.W, s.NWW), o.mean2(s.NNW, s.W)),
                           o.pick(o.mean4(s.S, s.SSW, s.W, s.SWW), o.mean2(s.SSW, s.W))};
    const __m256i e2[8] = {o.pick(o.mean2(s.NW, s.NE), s.N),
                           o.pick(o.mean2(s.NE, s.SE), o.mean4(s.NEE, s.SEE, s.N, s.S)),
                           o.pick(o.mean2(s.NW, s.SW), o.mean4(s.NWW, s.SWW, s.N, s.S)),
                           o.pick(o.mean2(s.SW, s.SE), s.S),
                           o.pick(s.NE, o.mean2(s.NEE, s.N)),
                           o.pick(s.SE, o.mean2(s.SEE, s.S)),
                           o.pick(s.NW, o.mean2(s.NWW, s.N)),
                           o.pick(s.SW, o.mean2(s.SWW, s.S))};
    std::copy(e0, e0 + 8, est[0]);
    std::copy(e1, e1 + 8, est[1]);
    std::copy(e2, e2 + 8, est[2]);
  }

  // Differences of estimates 1 and 2 from estimate 0 over the directions within the threshold.
  void average(__m256i& d1, __m256i& d2) const {
    using L = Lanes<Sample>;
    __m256i lo = grad[0], hi = grad[0];
    for (int k = 1; k < 8; ++k) lo = L::min(lo, grad[k]), hi = L::max(hi, grad[k]);
    const __m256i t = L::add(L::shr1(hi), lo);
    __m256i s0 = _mm256_setzero_si256(), s1 = s0, s2 = s0, n = L::set1(8);
    for (int k = 0; k < 8; ++k) {
      const __m256i out = L::greater(grad[k], t);
      s0 = L::add(s0, _mm256_andnot_si256(out, est[0][k]));
      s1 = L::add(s1, _mm256_andnot_si256(out, est[1][k]));
      s2 = L::add(s2, _mm256_andnot_si256(out, est[2][k]));
      n = L::add(n, out);  // out is -1 on the lanes it drops
    }
    d1 = L::divide(L::sub(s1, s0), n), d2 = L::divide(L::sub(s2, s0), n);
  }
};

// One block of lanes starting at the even column x; channel RC receives the row's own colour.
template <typename Sample, int P, int RC>
inline void vngBlock(const VngRow<Sample>& r, int32_t x, const Ops<Sample>& o) {
  using L = Lanes<Sample>;
  const Window<Sample> s(r.cur + x, r.pitch);
  __m256i d1, d2;
  Directions<Sample>(s, o).average(d1, d2);
  const __m256i zero = _mm256_setzero_si256(), top = L::set1(r.maxval);
  const __m256i z1 = L::min(L::max(L::add(s.Z, d1), zero), top);
  const __m256i z2 = L::min(L::max(L::add(s.Z, d2), zero), top);
  const __m128i rowColour = L::narrow(o.pick(s.Z, z1)), g = L::narrow(o.pick(z1, s.Z));
  const __m128i other = L::narrow(z2);
  const __m128i ch[3] = {RC == 0 ? rowColour : other, g, RC == 0 ? other : rowColour};
  if constexpr (P == 3)
    avx2::store3(r.out + size_t(x) * 3, ch);
  else
    avx2::store4(r.out + size_t(x) * 4, ch);
}

template <typename Sample, int P, int RC>
int32_t vngRow(const VngRow<Sample>& r, int32_t x) {
  using L = Lanes<Sample>;
  if ((x & 1) || r.xEnd - x < L::kCount) return x;
  const __m256i even = L::evenLanes();
  const Ops<Sample> o{r.greenEven ? even : _mm256_xor_si256(even, _mm256_set1_epi32(-1))};
  // The last block is moved back to end at the row's end, on an even column; the overlap is
  // written twice with the same values.
  const int32_t lastStart = (r.xEnd - L::kCount) & ~1;
  for (;;) {
    vngBlock<Sample, P, RC>(r, x, o);
    if (x == lastStart) return x + L::kCount;
    x = std::min(x + L::kCount, lastStart);
  }
}

template <typename Sample>
int32_t vngRowAny(const VngRow<Sample>& r, int32_t x) {
  if (r.p == 4) return r.rowChannel == 0 ? vngRow<Sample, 4, 0>(r, x) : vngRow<Sample, 4, 2>(r, x);
  return r.rowChannel == 0 ? vngRow<Sample, 3, 0>(r, x) : vngRow<Sample, 3, 2>(r, x);
}

}  // namespace

int32_t vngRowAvx2(const VngRow<uint8_t>& row, int32_t x) {
  return vngRowAny(row, x);
}
int32_t vngRowAvx2(const VngRow<uint16_t>& row, int32_t x) {
  return vngRowAny(row, x);
}

}  // namespace kernels
