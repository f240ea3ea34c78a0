// PPG demosaic interior with AVX2: green and red/blue sites worked out apart, on the two column
// parities of a block; the colour pass reads the first pass's greens from row buffers.
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

// Both parities of a block whose lanes hold one sample each, joined by `join` into the pixels'
// channels, stored as two halves of 16 bytes.
template <typename Sample, int P, int RC, typename Join>
inline void storeJoined(Sample* row, int32_t x, const __m256i (&even)[3], const __m256i (&odd)[3],
                        Join join) {
  __m256i px[3];
  for (int c = 0; c < 3; ++c) px[c] = join(even[c], odd[c]);
  constexpr int32_t kHalf = 16 / int32_t(sizeof(Sample));
  storePixels<Sample, P, RC>(row, x, _mm256_castsi256_si128(px[0]), _mm256_castsi256_si128(px[1]),
                             _mm256_castsi256_si128(px[2]));
  storePixels<Sample, P, RC>(row, x + kHalf, _mm256_extracti128_si256(px[0], 1),
                             _mm256_extracti128_si256(px[1], 1),
                             _mm256_extracti128_si256(px[2], 1));
}
// The low half of a vector packed with itself, its two 64-bit results in order.
inline __m128i packedLow(__m256i packed) {
  return _mm256_castsi256_si128(_mm256_permute4x64_epi64(packed, 8));
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

// 8-bit samples: a block is 32 pixels, 16 of each column parity in 16-bit lanes.
struct Bytes : Lanes16 {
  using Sample = uint8_t;
  static constexpr int32_t kBlock = 32;
  // Samples p[0], p[2], ... and p[1], p[3], ...
  static void split(const uint8_t* p, __m256i& even, __m256i& odd) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    even = _mm256_and_si256(v, _mm256_set1_epi16(0xFF));
    odd = _mm256_srli_epi16(v, 8);
  }
  static __m256i loadRow(const uint8_t* g) {
    return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(g)));
  }
  static void storeRow(uint8_t* g, __m256i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(g), packedLow(_mm256_packus_epi16(v, v)));
  }
  // Channels rowColour, green, other by parity; every value fits a byte.
  template <int P, int RC>
  static void store(uint8_t* row, int32_t x, const __m256i (&even)[3], const __m256i (&odd)[3]) {
    storeJoined<uint8_t, P, RC>(row, x, even, odd, [](__m256i e, __m256i o) {
      return _mm256_or_si256(e, _mm256_slli_epi16(o, 8));
    });
  }
};

// 16-bit samples of 12 bits: a block is 32 pixels, 16 of each parity in 16-bit lanes.
struct Words : Lanes16 {
  using Sample = uint16_t;
  static constexpr int32_t kBlock = 32;
  // Each 128-bit half gathers its even words low and odd words high; the 64-bit pieces then
  // go in order.
  static void split(const uint16_t* p, __m256i& even, __m256i& odd) {
    const __m256i parity = _mm256_setr_epi8(0, 1, 4, 5, 8, 9, 12, 13, 2, 3, 6, 7, 10, 11, 14, 15, 0,
                                            1, 4, 5, 8, 9, 12, 13, 2, 3, 6, 7, 10, 11, 14, 15);
    const __m256i a = _mm256_shuffle_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)),
                                          parity),
                  b = _mm256_shuffle_epi8(
                      _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 16)), parity);
    even = _mm256_permute4x64_epi64(_mm256_unpacklo_epi64(a, b), 0xD8);
    odd = _mm256_permute4x64_epi64(_mm256_unpackhi_epi64(a, b), 0xD8);
  }
  static __m256i loadRow(const uint16_t* g) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(g));
  }
  static void storeRow(uint16_t* g, __m256i v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(g), v);
  }
  // Interleaving the parities in each 128-bit half gives pixels 0-7 and 16-23 (lo), 8-15 and
  // 24-31 (hi).
  template <int P, int RC>
  static void store(uint16_t* row, int32_t x, const __m256i (&even)[3], const __m256i (&odd)[3]) {
    __m256i lo[3], hi[3];
    for (int c = 0; c < 3; ++c)
      lo[c] = _mm256_unpacklo_epi16(even[c], odd[c]),
      hi[c] = _mm256_unpackhi_epi16(even[c], odd[c]);
    storePixels<uint16_t, P, RC>(row, x, _mm256_castsi256_si128(lo[0]),
                                 _mm256_castsi256_si128(lo[1]), _mm256_castsi256_si128(lo[2]));
    storePixels<uint16_t, P, RC>(row, x + 8, _mm256_castsi256_si128(hi[0]),
                                 _mm256_castsi256_si128(hi[1]), _mm256_castsi256_si128(hi[2]));
    storePixels<uint16_t, P, RC>(row, x + 16, _mm256_extracti128_si256(lo[0], 1),
                                 _mm256_extracti128_si256(lo[1], 1),
                                 _mm256_extracti128_si256(lo[2], 1));
    storePixels<uint16_t, P, RC>(row, x + 24, _mm256_extracti128_si256(hi[0], 1),
                                 _mm256_extracti128_si256(hi[1], 1),
                                 _mm256_extracti128_si256(hi[2], 1));
  }
};

// 16-bit samples of any value in 32-bit lanes: a block is 16 pixels, 8 of each parity.
struct Wide {
  using Sample = uint16_t;
  static constexpr int32_t kBlock = 16;
  static void split(const uint16_t* p, __m256i& even, __m256i& odd) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    even = _mm256_and_si256(v, _mm256_set1_epi32(0xFFFF));
    odd = _mm256_srli_epi32(v, 16);
  }
  static __m256i loadRow(const uint16_t* g) {
    return _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(g)));
  }
  static void storeRow(uint16_t* g, __m256i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(g), packedLow(_mm256_packus_epi32(v, v)));
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
  // Every value is a sample (clamped or raw), so the two parities share a 32-bit lane.
  template <int P, int RC>
  static void store(uint16_t* row, int32_t x, const __m256i (&even)[3], const __m256i (&odd)[3]) {
    storeJoined<uint16_t, P, RC>(row, x, even, odd, [](__m256i e, __m256i o) {
      return _mm256_or_si256(e, _mm256_slli_epi32(o, 16));
    });
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

// The blocks of one raw row at x - 2, x and x + 2, split by parity: col(s) holds the samples at
// columns x + s, x + s + 2, ... for s in -2..3.
template <typename L>
struct Split {
  __m256i part[3][2];
  [[gnu::always_inline]] Split(const typename L::Sample* z, bool sides) {
    L::split(z, part[1][0], part[1][1]);
    if (sides) L::split(z - 2, part[0][0], part[0][1]), L::split(z + 2, part[2][0], part[2][1]);
  }
  [[gnu::always_inline]] __m256i col(int s) const { return part[(s + 2) >> 1][(s + 2) & 1]; }
};

constexpr int32_t kWidestBlock = 32;
static_assert(Bytes::kBlock <= kWidestBlock && Words::kBlock <= kWidestBlock &&
              Wide::kBlock <= kWidestBlock);

// First pass on a block at column x, whose red and blue sites sit at parity CP: green along the
// flattest direction there, kept in the row's green buffer too; raw greens kept; the colour
// samples get the raw one for now.
template <typename L, int P, int RC, int CP>
inline void greenBlock(const PpgRow<typename L::Sample>& r, int32_t x, __m256i top, bool last) {
  const typename L::Sample* z = r.cur + x;
  const ptrdiff_t q = r.pitch;
  const Split<L> c(z, true), n(z - q, false), s(z + q, false), nn(z - 2 * q, false),
      ss(z + 2 * q, false);
  const __m256i Z = c.col(CP), W = c.col(CP - 1), E = c.col(CP + 1), WW = c.col(CP - 2),
                EE = c.col(CP + 2);
  const __m256i N = n.col(CP), S = s.col(CP), NN = nn.col(CP), SS = ss.col(CP);
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
  g = clamp<L>(g, top);
  if (r.greens) L::storeRow(r.greens + x / 2, g);
  // Only where every lane kind's blocks fit the row: a neighbour of the other kind runs its
  // vector colour pass over the same columns then.
  if (r.lastBlockOnly && !last && r.xEnd - 2 >= kWidestBlock) return;
  const __m256i even[3] = {c.col(0), CP == 0 ? g : c.col(0), c.col(0)};
  const __m256i odd[3] = {c.col(1), CP == 1 ? g : c.col(1), c.col(1)};
  L::template store<P, RC>(r.out, x, even, odd);
}

// Second and third passes on a block: at green sites (parity 1 - CP) the row colour and the
// column colour by hue transit over the buffered greens; at red and blue sites the diagonal
// colour along the flatter diagonal.
template <typename L, int P, int RC, int CP>
inline void colourBlock(const PpgRow<typename L::Sample>& r, int32_t x, __m256i top) {
  constexpr int GP = 1 - CP;
  const typename L::Sample* z = r.cur + x;
  const ptrdiff_t q = r.pitch;
  const Split<L> c(z, true), n(z - q, true), s(z + q, true), nn(z - 2 * q, true),
      ss(z + 2 * q, true);
  const typename L::Sample *g = r.greens + x / 2, *gu = r.greensUp + x / 2,
                           *gd = r.greensDown + x / 2;
  // Green sites: greens left and right on this row, above and below on the others.
  const __m256i gz = c.col(GP);
  const __m256i rowC = clamp<L>(
      hueTransit<L>(L::loadRow(g - CP), gz, L::loadRow(g + GP), c.col(GP - 1), c.col(GP + 1)), top);
  const __m256i colC =
      clamp<L>(hueTransit<L>(L::loadRow(gu), gz, L::loadRow(gd), n.col(GP), s.col(GP)), top);
  // Red and blue sites.
  const __m256i Z = c.col(CP), G = L::loadRow(g);
  const __m256i gNE = L::loadRow(gu + CP), gNW = L::loadRow(gu + CP - 1), gSE = L::loadRow(gd + CP),
                gSW = L::loadRow(gd + CP - 1);
  const __m256i NE = n.col(CP + 1), NW = n.col(CP - 1), SE = s.col(CP + 1), SW = s.col(CP - 1);
  auto d = [](__m256i a, __m256i b) { return diff<L>(a, b); };
  const __m256i dne = L::add(
      L::add(L::add(d(Z, ss.col(CP - 2)), d(nn.col(CP + 2), Z)), L::add(d(G, gSW), d(gNE, G))),
      d(NE, SW));
  const __m256i dnw = L::add(
      L::add(L::add(d(Z, ss.col(CP + 2)), d(nn.col(CP - 2), Z)), L::add(d(NW, SE), d(G, gSE))),
      d(gNW, G));
  const __m256i nw = L::gt(dne, dnw);
  const __m256i diag = clamp<L>(
      hueTransit<L>(pick(gNE, gNW, nw), G, pick(gSW, gSE, nw), pick(NE, NW, nw), pick(SW, SE, nw)),
      top);
  const __m256i atGreen[3] = {rowC, gz, colC}, atColour[3] = {Z, G, diag};
  if constexpr (CP == 0)
    L::template store<P, RC>(r.out, x, atColour, atGreen);
  else
    L::template store<P, RC>(r.out, x, atGreen, atColour);
}

// Blocks start on even columns; the last is moved back to end at the row's end, and the overlap
// is written twice with the same values (the colour pass reads back only buffered greens).
template <typename L, typename Block>
int32_t blocks(const PpgRow<typename L::Sample>& r, int32_t x, Block block) {
  if ((x & 1) || r.xEnd - x < L::kBlock) return x;
  const __m256i top = L::set1(r.maxval);
  const int32_t lastStart = (r.xEnd - L::kBlock) & ~1;
  for (;;) {
    block(x, top, x == lastStart);
    if (x == lastStart) return x + L::kBlock;
    x = std::min(x + L::kBlock, lastStart);
  }
}

template <typename L, int P, int RC>
int32_t greenRow(const PpgRow<typename L::Sample>& r, int32_t x) {
  if (r.greenEven)
    return blocks<L>(
        r, x, [&](int32_t at, __m256i t, bool last) { greenBlock<L, P, RC, 1>(r, at, t, last); });
  return blocks<L>(
      r, x, [&](int32_t at, __m256i t, bool last) { greenBlock<L, P, RC, 0>(r, at, t, last); });
}
template <typename L, int P, int RC>
int32_t colourRow(const PpgRow<typename L::Sample>& r, int32_t x) {
  if (r.greenEven)
    return blocks<L>(r, x,
                     [&](int32_t at, __m256i t, bool) { colourBlock<L, P, RC, 1>(r, at, t); });
  return blocks<L>(r, x, [&](int32_t at, __m256i t, bool) { colourBlock<L, P, RC, 0>(r, at, t); });
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

bool rowFits(const uint16_t* row, int32_t w, int32_t largest) {
  const __m256i high = _mm256_set1_epi16(int16_t(0xF000));
  __m256i any = _mm256_setzero_si256();
  int32_t x = 0;
  for (; x + 16 <= w; x += 16)
    any = _mm256_or_si256(any, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + x)));
  if (!_mm256_testz_si256(any, high)) return false;
  for (; x < w; ++x)
    if (row[x] > largest) return false;
  return true;
}

// Whether the depth and raw rows y - 2 .. y + 2 fit 12 bits, so every green read does too.
bool fitsWords(const PpgRow<uint16_t>& r) {
  constexpr int32_t kLargest = 4095;
  if (r.maxval > kLargest) return false;
  const int32_t w = r.xEnd + 2;
  for (int dy = -2; dy <= 2; ++dy) {
    const uint16_t* row = r.cur + dy * r.pitch;
    const int32_t y = r.y + dy, slot = y & 7;
    if (!r.depth) {
      if (!rowFits(row, w, kLargest)) return false;
      continue;
    }
    if (r.depth->row[slot] != y)
      r.depth->row[slot] = y, r.depth->narrow[slot] = rowFits(row, w, kLargest);
    if (!r.depth->narrow[slot]) return false;
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
