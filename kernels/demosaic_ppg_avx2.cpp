// PPG demosaic interior with AVX2: both site kinds worked out on every lane, chosen by column.
#include <immintrin.h>

#include <algorithm>

#include "kernels/interleave_avx2.h"
#include "kernels/ppg_row.h"

namespace kernels {
namespace {

template <typename Sample, int P, int RC>
inline void storePixels(Sample* row, int32_t x, __m128i rowColour, __m128i green, __m128i other) {
  const __m128i ch[3] = {RC == 0 ? rowColour : other, green, RC == 0 ? other : rowColour};
  if constexpr (P == 3)
    avx2::store3(row + size_t(x) * 3, ch);
  else
    avx2::store4(row + size_t(x) * 4, ch);
}

// Arithmetic in 16-bit lanes, sixteen pixels a vector: for 8-bit samples, and for 16-bit ones
// when a row and its neighbours fit 12 bits (every sum then stays below 2^15).
struct Lanes16 {
  static constexpr int32_t kCount = 16;
  static __m256i set1(int32_t v) { return _mm256_set1_epi16(static_cast<int16_t>(v)); }
  static __m256i add(__m256i a, __m256i b) { return _mm256_add_epi16(a, b); }
  static __m256i sub(__m256i a, __m256i b) { return _mm256_sub_epi16(a, b); }
  static __m256i abs(__m256i a) { return _mm256_abs_epi16(a); }
  static __m256i gt(__m256i a, __m256i b) { return _mm256_cmpgt_epi16(a, b); }
  static __m256i min(__m256i a, __m256i b) { return _mm256_min_epi16(a, b); }
  static __m256i max(__m256i a, __m256i b) { return _mm256_max_epi16(a, b); }
  static __m256i half(__m256i a) { return _mm256_srai_epi16(a, 1); }
  static __m256i twice(__m256i a) { return _mm256_slli_epi16(a, 1); }
  // a / 4 toward zero.
  static __m256i quarter(__m256i a) {
    return _mm256_srai_epi16(add(a, _mm256_and_si256(_mm256_srai_epi16(a, 15), set1(3))), 2);
  }
  static __m256i evenLanes() { return _mm256_set1_epi32(0x0000FFFF); }
  // (a x b) / d toward zero in 32-bit halves. Products of 12-bit differences stay below 2^24,
  // so single precision holds them exactly, and the rounded quotient (below 2^12) stays within
  // half of 2^-12 of the exact one, less than the 1/4095 between a fraction and the next integer.
  static __m256i quotientHalf(__m256i ab, __m256i d) {
    return _mm256_cvttps_epi32(_mm256_div_ps(_mm256_cvtepi32_ps(ab), _mm256_cvtepi32_ps(d)));
  }
  static __m256i quotient(__m256i a, __m256i b, __m256i d) {
    const __m256i lo = _mm256_mullo_epi16(a, b), hi = _mm256_mulhi_epi16(a, b);
    const __m256i q0 = quotientHalf(_mm256_unpacklo_epi16(lo, hi),
                                    _mm256_srai_epi32(_mm256_unpacklo_epi16(d, d), 16));
    const __m256i q1 = quotientHalf(_mm256_unpackhi_epi16(lo, hi),
                                    _mm256_srai_epi32(_mm256_unpackhi_epi16(d, d), 16));
    return _mm256_packs_epi32(q0, q1);
  }
};

// 8-bit samples; a block is 16 bytes of one channel.
struct Bytes : Lanes16 {
  using Sample = uint8_t;
  static __m256i load(const uint8_t* p) {
    return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
  }
  template <int P>
  static __m256i greens(const uint8_t* row, int32_t x) {
    return _mm256_cvtepu8_epi16(avx2::loadGreen<uint8_t, P>(row + size_t(x) * P));
  }
  template <int P, int RC>
  static void store(uint8_t* row, int32_t x, __m256i rowColour, __m256i green, __m256i other) {
    auto narrow = [](__m256i v) {
      return _mm256_castsi256_si128(_mm256_permute4x64_epi64(_mm256_packus_epi16(v, v), 0x08));
    };
    storePixels<uint8_t, P, RC>(row, x, narrow(rowColour), narrow(green), narrow(other));
  }
};

// 16-bit samples of 12 bits; a block is two halves of 16 bytes.
struct Words : Lanes16 {
  using Sample = uint16_t;
  static __m256i load(const uint16_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  }
  template <int P>
  static __m256i greens(const uint16_t* row, int32_t x) {
    return _mm256_set_m128i(avx2::loadGreen<uint16_t, P>(row + size_t(x + 8) * P),
                            avx2::loadGreen<uint16_t, P>(row + size_t(x) * P));
  }
  template <int P, int RC>
  static void store(uint16_t* row, int32_t x, __m256i rowColour, __m256i green, __m256i other) {
    storePixels<uint16_t, P, RC>(row, x, _mm256_castsi256_si128(rowColour),
                                 _mm256_castsi256_si128(green), _mm256_castsi256_si128(other));
    storePixels<uint16_t, P, RC>(row, x + 8, _mm256_extracti128_si256(rowColour, 1),
                                 _mm256_extracti128_si256(green, 1),
                                 _mm256_extracti128_si256(other, 1));
  }
};

// 16-bit samples of any value in 32-bit lanes, eight pixels a vector.
struct Wide {
  using Sample = uint16_t;
  static constexpr int32_t kCount = 8;
  static __m256i load(const uint16_t* p) {
    return _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
  }
  template <int P>
  static __m256i greens(const uint16_t* row, int32_t x) {
    return _mm256_cvtepu16_epi32(avx2::loadGreen<uint16_t, P>(row + size_t(x) * P));
  }
  static __m256i set1(int32_t v) { return _mm256_set1_epi32(v); }
  static __m256i add(__m256i a, __m256i b) { return _mm256_add_epi32(a, b); }
  static __m256i sub(__m256i a, __m256i b) { return _mm256_sub_epi32(a, b); }
  static __m256i abs(__m256i a) { return _mm256_abs_epi32(a); }
  static __m256i gt(__m256i a, __m256i b) { return _mm256_cmpgt_epi32(a, b); }
  static __m256i min(__m256i a, __m256i b) { return _mm256_min_epi32(a, b); }
  static __m256i max(__m256i a, __m256i b) { return _mm256_max_epi32(a, b); }
  static __m256i half(__m256i a) { return _mm256_srai_epi32(a, 1); }
  static __m256i twice(__m256i a) { return _mm256_slli_epi32(a, 1); }
  static __m256i quarter(__m256i a) {
    return _mm256_srai_epi32(add(a, _mm256_and_si256(_mm256_srai_epi32(a, 31), set1(3))), 2);
  }
  static __m256i evenLanes() { return _mm256_set1_epi64x(0x00000000FFFFFFFFll); }
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
  // Saturating: samples above the depth stay intact.
  template <int P, int RC>
  static void store(uint16_t* row, int32_t x, __m256i rowColour, __m256i green, __m256i other) {
    auto narrow = [](__m256i v) {
      return _mm256_castsi256_si128(_mm256_permute4x64_epi64(_mm256_packus_epi32(v, v), 0x08));
    };
    storePixels<uint16_t, P, RC>(row, x, narrow(rowColour), narrow(green), narrow(other));
  }
};

inline __m256i pick(__m256i no, __m256i yes, __m256i mask) {
  return _mm256_blendv_epi8(no, yes, mask);
}

// Hue transit, both forms on every lane; the quotient of a lane that takes the averaging form
// may divide by zero and is dropped.
template <typename L>
[[gnu::always_inline]] inline __m256i hueTransit(__m256i l1, __m256i l2, __m256i l3, __m256i v1,
                                                 __m256i v3) {
  const __m256i mono = _mm256_or_si256(_mm256_and_si256(L::gt(l2, l1), L::gt(l3, l2)),
                                       _mm256_and_si256(L::gt(l1, l2), L::gt(l2, l3)));
  const __m256i transit = L::add(v1, L::quotient(L::sub(l2, l1), L::sub(v3, v1), L::sub(l3, l1)));
  const __m256i mean =
      L::add(L::half(L::add(v1, v3)), L::quarter(L::sub(L::sub(L::twice(l2), l1), l3)));
  return pick(mean, transit, mono);
}

template <typename L>
inline __m256i clamp(__m256i v, __m256i top) {
  return L::min(L::max(v, _mm256_setzero_si256()), top);
}
template <typename L>
inline __m256i diff(__m256i a, __m256i b) {
  return L::abs(L::sub(a, b));
}

// First pass on a block at column x: green along the flattest direction, raw green kept; the
// colour samples get the raw one for now.
template <typename L, int P, int RC>
inline void greenBlock(const PpgRow<typename L::Sample>& r, int32_t x, __m256i greenSite,
                       __m256i top) {
  using Sample = typename L::Sample;
  const Sample* z = r.cur + x;
  const ptrdiff_t q = r.pitch;
  const __m256i Z = L::load(z), N = L::load(z - q), S = L::load(z + q), W = L::load(z - 1),
                E = L::load(z + 1);
  const __m256i NN = L::load(z - 2 * q), SS = L::load(z + 2 * q), WW = L::load(z - 2),
                EE = L::load(z + 2);
  const __m256i ns = diff<L>(N, S), we = diff<L>(W, E);
  auto thrice = [](__m256i v) { return L::add(L::twice(v), v); };
  const __m256i grad[4] = {
      L::add(ns, L::twice(diff<L>(NN, Z))), L::add(we, L::twice(diff<L>(EE, Z))),
      L::add(we, L::twice(diff<L>(WW, Z))), L::add(ns, L::twice(diff<L>(SS, Z)))};
  const __m256i est[4] = {L::quarter(L::sub(L::add(L::add(thrice(N), S), Z), NN)),
                          L::quarter(L::sub(L::add(L::add(thrice(E), W), Z), EE)),
                          L::quarter(L::sub(L::add(L::add(thrice(W), E), Z), WW)),
                          L::quarter(L::sub(L::add(L::add(thrice(S), N), Z), SS))};
  __m256i best = grad[0], g = est[0];
  for (int k = 1; k < 4; ++k) {
    g = pick(g, est[k], L::gt(best, grad[k]));  // strictly smaller: the first wins ties
    best = L::min(best, grad[k]);
  }
  L::template store<P, RC>(r.out, x, Z, pick(clamp<L>(g, top), Z, greenSite), Z);
}

// Second and third passes on a block: the row colour at green sites from the row's greens, the
// column colour there and the diagonal colour at red and blue sites share one hue transit.
template <typename L, int P, int RC>
inline void colourBlock(const PpgRow<typename L::Sample>& r, int32_t x, __m256i greenSite,
                        __m256i top) {
  using Sample = typename L::Sample;
  auto greens = [&](const Sample* row, int32_t at) { return L::template greens<P>(row, at); };
  const __m256i gNW = greens(r.up, x - 1), gN = greens(r.up, x), gNE = greens(r.up, x + 1);
  const __m256i gW = greens(r.out, x - 1), gz = greens(r.out, x), gE = greens(r.out, x + 1);
  const __m256i gSW = greens(r.down, x - 1), gS = greens(r.down, x), gSE = greens(r.down, x + 1);
  const Sample* z = r.cur + x;
  const ptrdiff_t q = r.pitch;
  const __m256i Z = L::load(z), N = L::load(z - q), S = L::load(z + q), W = L::load(z - 1),
                E = L::load(z + 1);
  const __m256i NW = L::load(z - q - 1), NE = L::load(z - q + 1), SW = L::load(z + q - 1),
                SE = L::load(z + q + 1);
  const __m256i NNEE = L::load(z - 2 * q + 2), NNWW = L::load(z - 2 * q - 2),
                SSEE = L::load(z + 2 * q + 2), SSWW = L::load(z + 2 * q - 2);
  auto d = [](__m256i a, __m256i b) { return diff<L>(a, b); };
  const __m256i dne =
      L::add(L::add(L::add(d(Z, SSWW), d(NNEE, Z)), L::add(d(gz, gSW), d(gNE, gz))), d(NE, SW));
  const __m256i dnw =
      L::add(L::add(L::add(d(Z, SSEE), d(NNWW, Z)), L::add(d(NW, SE), d(gz, gSE))), d(gNW, gz));
  const __m256i nw = L::gt(dne, dnw);
  const __m256i l1 = pick(pick(gNE, gNW, nw), gN, greenSite),
                l3 = pick(pick(gSW, gSE, nw), gS, greenSite);
  const __m256i v1 = pick(pick(NE, NW, nw), N, greenSite),
                v3 = pick(pick(SW, SE, nw), S, greenSite);
  const __m256i rowColour = pick(Z, clamp<L>(hueTransit<L>(gW, gz, gE, W, E), top), greenSite);
  const __m256i other = clamp<L>(hueTransit<L>(l1, gz, l3, v1, v3), top);
  L::template store<P, RC>(r.out, x, rowColour, gz, other);
}

// Blocks start on even columns; the last is moved back to end at the row's end, and the overlap
// is written twice with the same values (the colour pass reads back only greens, unchanged).
template <typename L, typename Block>
int32_t blocks(const PpgRow<typename L::Sample>& r, int32_t x, Block block) {
  if ((x & 1) || r.xEnd - x < L::kCount) return x;
  const __m256i even = L::evenLanes();
  const __m256i greenSite = r.greenEven ? even : _mm256_xor_si256(even, _mm256_set1_epi32(-1));
  const __m256i top = L::set1(r.maxval);
  const int32_t lastStart = (r.xEnd - L::kCount) & ~1;
  for (;;) {
    block(x, greenSite, top);
    if (x == lastStart) return x + L::kCount;
    x = std::min(x + L::kCount, lastStart);
  }
}

template <typename L, int P, int RC>
int32_t greenRow(const PpgRow<typename L::Sample>& r, int32_t x) {
  return blocks<L>(r, x,
                   [&](int32_t at, __m256i g, __m256i t) { greenBlock<L, P, RC>(r, at, g, t); });
}
template <typename L, int P, int RC>
int32_t colourRow(const PpgRow<typename L::Sample>& r, int32_t x) {
  return blocks<L>(r, x,
                   [&](int32_t at, __m256i g, __m256i t) { colourBlock<L, P, RC>(r, at, g, t); });
}

template <typename L>
int32_t greenRowAny(const PpgRow<typename L::Sample>& r, int32_t x) {
  if (r.p == 4) return r.rowChannel == 0 ? greenRow<L, 4, 0>(r, x) : greenRow<L, 4, 2>(r, x);
  return r.rowChannel == 0 ? greenRow<L, 3, 0>(r, x) : greenRow<L, 3, 2>(r, x);
}
template <typename L>
int32_t colourRowAny(const PpgRow<typename L::Sample>& r, int32_t x) {
  if (r.p == 4) return r.rowChannel == 0 ? colourRow<L, 4, 0>(r, x) : colourRow<L, 4, 2>(r, x);
  return r.rowChannel == 0 ? colourRow<L, 3, 0>(r, x) : colourRow<L, 3, 2>(r, x);
}

// Whether the depth and raw rows y - 2 .. y + 2 fit 12 bits, so every green read does too.
bool fitsWords(const PpgRow<uint16_t>& r) {
  constexpr int32_t kLargest = 4095;
  if (r.maxval > kLargest) return false;
  const int32_t w = r.xEnd + 2;
  const __m256i high = _mm256_set1_epi16(int16_t(0xF000));
  for (int dy = -2; dy <= 2; ++dy) {
    const uint16_t* row = r.cur + dy * r.pitch;
    __m256i any = _mm256_setzero_si256();
    int32_t x = 0;
    for (; x + 16 <= w; x += 16)
      any = _mm256_or_si256(any, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + x)));
    if (!_mm256_testz_si256(any, high)) return false;
    for (; x < w; ++x)
      if (row[x] > kLargest) return false;
  }
  return true;
}

}  // namespace

int32_t ppgGreenRowAvx2(const PpgRow<uint8_t>& row, int32_t x) {
  return greenRowAny<Bytes>(row, x);
}
int32_t ppgGreenRowAvx2(const PpgRow<uint16_t>& row, int32_t x) {
  return fitsWords(row) ? greenRowAny<Words>(row, x) : greenRowAny<Wide>(row, x);
}
int32_t ppgColourRowAvx2(const PpgRow<uint8_t>& row, int32_t x) {
  return colourRowAny<Bytes>(row, x);
}
int32_t ppgColourRowAvx2(const PpgRow<uint16_t>& row, int32_t x) {
  return fitsWords(row) ? colourRowAny<Words>(row, x) : colourRowAny<Wide>(row, x);
}

}  // namespace kernels
