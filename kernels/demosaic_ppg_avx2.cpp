// PPG demosaic interior with AVX2: both site kinds worked out on every lane, chosen by column.
#include <immintrin.h>

#include <algorithm>

#include "kernels/interleave_avx2.h"
#include "kernels/ppg_row.h"

namespace kernels {
namespace {

// Arithmetic in 32-bit lanes, eight pixels at a time; a block is 16 bytes of one channel.
template <typename Sample>
struct Lanes;

template <>
struct Lanes<uint8_t> {
  static constexpr int32_t kCount = 16, kSubs = 2;
  static __m256i load(const uint8_t* p) {
    return _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
  }
  static __m256i widen(__m128i plane, int sub) {
    return _mm256_cvtepu8_epi32(sub ? _mm_srli_si128(plane, 8) : plane);
  }
  // (a x b) / d toward zero: products stay below 2^16, so single precision is exact up to a
  // rounding far inside the 1/255 that separates a fraction from the next integer.
  static __m256i quotient(__m256i a, __m256i b, __m256i d) {
    return _mm256_cvttps_epi32(
        _mm256_div_ps(_mm256_cvtepi32_ps(_mm256_mullo_epi32(a, b)), _mm256_cvtepi32_ps(d)));
  }
  static __m128i narrow(const __m256i v[kSubs]) {
    const __m256i words = _mm256_permute4x64_epi64(_mm256_packus_epi32(v[0], v[1]), 0xD8);
    return _mm256_castsi256_si128(
        _mm256_permute4x64_epi64(_mm256_packus_epi16(words, words), 0x08));
  }
};

template <>
struct Lanes<uint16_t> {
  static constexpr int32_t kCount = 8, kSubs = 1;
  static __m256i load(const uint16_t* p) {
    return _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
  }
  static __m256i widen(__m128i plane, int) { return _mm256_cvtepu16_epi32(plane); }
  // Products reach 2^32: double precision holds them exactly.
  static __m128i quotientHalf(__m128i a, __m128i b, __m128i d) {
    const __m256d ab = _mm256_mul_pd(_mm256_cvtepi32_pd(a), _mm256_cvtepi32_pd(b));
    return _mm256_cvttpd_epi32(_mm256_div_pd(ab, _mm256_cvtepi32_pd(d)));
  }
  static __m256i quotient(__m256i a, __m256i b, __m256i d) {
    const __m128i lo = quotientHalf(_mm256_castsi256_si128(a), _mm256_castsi256_si128(b),
                                    _mm256_castsi256_si128(d));
    const __m128i hi = quotientHalf(_mm256_extracti128_si256(a, 1), _mm256_extracti128_si256(b, 1),
                                    _mm256_extracti128_si256(d, 1));
    return _mm256_set_m128i(hi, lo);
  }
  static __m128i narrow(const __m256i v[kSubs]) {
    return _mm256_castsi256_si128(_mm256_permute4x64_epi64(_mm256_packus_epi32(v[0], v[0]), 0x08));
  }
};

inline __m256i add(__m256i a, __m256i b) {
  return _mm256_add_epi32(a, b);
}
inline __m256i sub(__m256i a, __m256i b) {
  return _mm256_sub_epi32(a, b);
}
inline __m256i diff(__m256i a, __m256i b) {
  return _mm256_abs_epi32(_mm256_sub_epi32(a, b));
}
inline __m256i gt(__m256i a, __m256i b) {
  return _mm256_cmpgt_epi32(a, b);
}
inline __m256i pick(__m256i no, __m256i yes, __m256i mask) {
  return _mm256_blendv_epi8(no, yes, mask);
}
// a / 4 toward zero.
inline __m256i quarter(__m256i a) {
  return _mm256_srai_epi32(add(a, _mm256_and_si256(_mm256_srai_epi32(a, 31), _mm256_set1_epi32(3))),
                           2);
}
inline __m256i clamp(__m256i v, __m256i top) {
  return _mm256_min_epi32(_mm256_max_epi32(v, _mm256_setzero_si256()), top);
}

// Hue transit, both forms on every lane; the quotient of a lane that takes the averaging form
// may divide by zero and is dropped.
template <typename Sample>
[[gnu::always_inline]] inline __m256i hueTransit(__m256i l1, __m256i l2, __m256i l3, __m256i v1,
                                                 __m256i v3) {
  const __m256i mono = _mm256_or_si256(_mm256_and_si256(gt(l2, l1), gt(l3, l2)),
                                       _mm256_and_si256(gt(l1, l2), gt(l2, l3)));
  const __m256i transit = add(v1, Lanes<Sample>::quotient(sub(l2, l1), sub(v3, v1), sub(l3, l1)));
  const __m256i mean =
      add(_mm256_srai_epi32(add(v1, v3), 1), quarter(sub(sub(_mm256_slli_epi32(l2, 1), l1), l3)));
  return pick(mean, transit, mono);
}

template <typename Sample>
inline void storePixels(const PpgRow<Sample>& r, int32_t x, int P, int RC, __m128i rowColour,
                        __m128i green, __m128i other) {
  const __m128i ch[3] = {RC == 0 ? rowColour : other, green, RC == 0 ? other : rowColour};
  if (P == 3)
    avx2::store3(r.out + size_t(x) * 3, ch);
  else
    avx2::store4(r.out + size_t(x) * 4, ch);
}

// First pass on 8 lanes at column x: green along the flattest direction, raw green kept.
template <typename Sample>
[[gnu::always_inline]] inline __m256i greenLanes(const Sample* z, ptrdiff_t q, __m256i greenSite,
                                                 __m256i top) {
  using L = Lanes<Sample>;
  const __m256i Z = L::load(z), N = L::load(z - q), S = L::load(z + q), W = L::load(z - 1),
                E = L::load(z + 1);
  const __m256i NN = L::load(z - 2 * q), SS = L::load(z + 2 * q), WW = L::load(z - 2),
                EE = L::load(z + 2);
  const __m256i ns = diff(N, S), we = diff(W, E);
  auto twice = [](__m256i v) { return _mm256_slli_epi32(v, 1); };
  auto thrice = [&](__m256i v) { return add(twice(v), v); };
  const __m256i grad[4] = {add(ns, twice(diff(NN, Z))), add(we, twice(diff(EE, Z))),
                           add(we, twice(diff(WW, Z))), add(ns, twice(diff(SS, Z)))};
  const __m256i est[4] = {
      quarter(sub(add(add(thrice(N), S), Z), NN)), quarter(sub(add(add(thrice(E), W), Z), EE)),
      quarter(sub(add(add(thrice(W), E), Z), WW)), quarter(sub(add(add(thrice(S), N), Z), SS))};
  __m256i best = grad[0], g = est[0];
  for (int k = 1; k < 4; ++k) {
    g = pick(g, est[k], gt(best, grad[k]));  // strictly smaller: the first wins ties
    best = _mm256_min_epi32(best, grad[k]);
  }
  return pick(clamp(g, top), Z, greenSite);
}

template <typename Sample, int P, int RC>
inline void greenBlock(const PpgRow<Sample>& r, int32_t x, __m256i greenSite, __m256i top) {
  using L = Lanes<Sample>;
  __m256i g[L::kSubs], z[L::kSubs];
  for (int sub = 0; sub < L::kSubs; ++sub) {
    g[sub] = greenLanes(r.cur + x + 8 * sub, r.pitch, greenSite, top);
    z[sub] = L::load(r.cur + x + 8 * sub);
  }
  const __m128i raw = L::narrow(z);
  storePixels(r, x, P, RC, raw, L::narrow(g), raw);
}

// Greens of an output row at columns x - 1, x and x + 1.
template <typename Sample, int P>
struct Greens {
  __m128i w, c, e;
  Greens(const Sample* row, int32_t x)
      : w(avx2::loadGreen<Sample, P>(row + size_t(x - 1) * P)),
        c(avx2::loadGreen<Sample, P>(row + size_t(x) * P)),
        e(avx2::loadGreen<Sample, P>(row + size_t(x + 1) * P)) {}
};

// Second and third passes on 8 lanes: the row colour at green sites from the row's greens, the
// column colour there and the diagonal colour at red and blue sites share one hue transit.
template <typename Sample, int P>
[[gnu::always_inline]] inline void colourLanes(const Sample* z, ptrdiff_t q,
                                               const Greens<Sample, P> (&gr)[3], int sub,
                                               __m256i greenSite, __m256i top, __m256i& rowColour,
                                               __m256i& green, __m256i& other) {
  using L = Lanes<Sample>;
  const __m256i gNW = L::widen(gr[0].w, sub), gN = L::widen(gr[0].c, sub),
                gNE = L::widen(gr[0].e, sub);
  const __m256i gW = L::widen(gr[1].w, sub), gz = L::widen(gr[1].c, sub),
                gE = L::widen(gr[1].e, sub);
  const __m256i gSW = L::widen(gr[2].w, sub), gS = L::widen(gr[2].c, sub),
                gSE = L::widen(gr[2].e, sub);
  const __m256i Z = L::load(z), N = L::load(z - q), S = L::load(z + q), W = L::load(z - 1),
                E = L::load(z + 1);
  const __m256i NW = L::load(z - q - 1), NE = L::load(z - q + 1), SW = L::load(z + q - 1),
                SE = L::load(z + q + 1);
  const __m256i NNEE = L::load(z - 2 * q + 2), NNWW = L::load(z - 2 * q - 2),
                SSEE = L::load(z + 2 * q + 2), SSWW = L::load(z + 2 * q - 2);
  const __m256i dne =
      add(add(add(diff(Z, SSWW), diff(NNEE, Z)), add(diff(gz, gSW), diff(gNE, gz))), diff(NE, SW));
  const __m256i dnw =
      add(add(add(diff(Z, SSEE), diff(NNWW, Z)), add(diff(NW, SE), diff(gz, gSE))), diff(gNW, gz));
  const __m256i nw = gt(dne, dnw);
  const __m256i l1 = pick(pick(gNE, gNW, nw), gN, greenSite),
                l3 = pick(pick(gSW, gSE, nw), gS, greenSite);
  const __m256i v1 = pick(pick(NE, NW, nw), N, greenSite),
                v3 = pick(pick(SW, SE, nw), S, greenSite);
  rowColour = pick(Z, clamp(hueTransit<Sample>(gW, gz, gE, W, E), top), greenSite);
  green = gz;
  other = clamp(hueTransit<Sample>(l1, gz, l3, v1, v3), top);
}

template <typename Sample, int P, int RC>
inline void colourBlock(const PpgRow<Sample>& r, int32_t x, __m256i greenSite, __m256i top) {
  using L = Lanes<Sample>;
  const Greens<Sample, P> gr[3] = {{r.up, x}, {r.out, x}, {r.down, x}};
  __m256i rc[L::kSubs], g[L::kSubs], o[L::kSubs];
  for (int sub = 0; sub < L::kSubs; ++sub)
    colourLanes(r.cur + x + 8 * sub, r.pitch, gr, sub, greenSite, top, rc[sub], g[sub], o[sub]);
  storePixels(r, x, P, RC, L::narrow(rc), L::narrow(g), L::narrow(o));
}

// Blocks start on even columns; the last is moved back to end at the row's end, and the overlap
// is written twice with the same values (the colour pass reads back only greens, unchanged).
template <typename Sample, typename Block>
int32_t blocks(const PpgRow<Sample>& r, int32_t x, Block block) {
  constexpr int32_t kCount = Lanes<Sample>::kCount;
  if ((x & 1) || r.xEnd - x < kCount) return x;
  const __m256i even = _mm256_set1_epi64x(0x00000000FFFFFFFFll);
  const __m256i greenSite = r.greenEven ? even : _mm256_xor_si256(even, _mm256_set1_epi32(-1));
  const __m256i top = _mm256_set1_epi32(r.maxval);
  const int32_t lastStart = (r.xEnd - kCount) & ~1;
  for (;;) {
    block(x, greenSite, top);
    if (x == lastStart) return x + kCount;
    x = std::min(x + kCount, lastStart);
  }
}

template <typename Sample, int P, int RC>
int32_t greenRow(const PpgRow<Sample>& r, int32_t x) {
  return blocks(r, x,
                [&](int32_t at, __m256i g, __m256i t) { greenBlock<Sample, P, RC>(r, at, g, t); });
}
template <typename Sample, int P, int RC>
int32_t colourRow(const PpgRow<Sample>& r, int32_t x) {
  return blocks(r, x,
                [&](int32_t at, __m256i g, __m256i t) { colourBlock<Sample, P, RC>(r, at, g, t); });
}

template <typename Sample>
int32_t greenRowAny(const PpgRow<Sample>& r, int32_t x) {
  if (r.p == 4)
    return r.rowChannel == 0 ? greenRow<Sample, 4, 0>(r, x) : greenRow<Sample, 4, 2>(r, x);
  return r.rowChannel == 0 ? greenRow<Sample, 3, 0>(r, x) : greenRow<Sample, 3, 2>(r, x);
}
template <typename Sample>
int32_t colourRowAny(const PpgRow<Sample>& r, int32_t x) {
  if (r.p == 4)
    return r.rowChannel == 0 ? colourRow<Sample, 4, 0>(r, x) : colourRow<Sample, 4, 2>(r, x);
  return r.rowChannel == 0 ? colourRow<Sample, 3, 0>(r, x) : colourRow<Sample, 3, 2>(r, x);
}

}  // namespace

int32_t ppgGreenRowAvx2(const PpgRow<uint8_t>& row, int32_t x) {
  return greenRowAny(row, x);
}
int32_t ppgGreenRowAvx2(const PpgRow<uint16_t>& row, int32_t x) {
  return greenRowAny(row, x);
}
int32_t ppgColourRowAvx2(const PpgRow<uint8_t>& row, int32_t x) {
  return colourRowAny(row, x);
}
int32_t ppgColourRowAvx2(const PpgRow<uint16_t>& row, int32_t x) {
  return colourRowAny(row, x);
}

}  // namespace kernels
