// AHD with AVX2: eight columns at a time in 32-bit lanes (the YCbCr conversion and the chroma
// distances four, in doubles).
#include <immintrin.h>

#include "kernels/ahd_rows.h"

namespace kernels {
namespace {

inline __m256i at(const int32_t* row, int32_t x) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + x));
}
inline void put(int32_t* row, int32_t x, __m256i v) {
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(row + x), v);
}
inline __m256i widen(const uint8_t* p) {
  return _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
}
inline __m256i widen(const uint16_t* p) {
  return _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}
inline __m256i clampTo(__m256i v, __m256i max) {
  return _mm256_min_epi32(_mm256_max_epi32(v, _mm256_setzero_si256()), max);
}
// C's division, towards zero, by 2 and by 4.
inline __m256i half(__m256i v) {
  return _mm256_srai_epi32(_mm256_add_epi32(v, _mm256_srli_epi32(v, 31)), 1);
}
inline __m256i quarter(__m256i v) {
  const __m256i bias = _mm256_and_si256(_mm256_srai_epi32(v, 31), _mm256_set1_epi32(3));
  return _mm256_srai_epi32(_mm256_add_epi32(v, bias), 2);
}
// Lanes of green sites when x is even.
inline __m256i greenLanes(bool greenEven) {
  return greenEven ? _mm256_setr_epi32(-1, 0, -1, 0, -1, 0, -1, 0)
                   : _mm256_setr_epi32(0, -1, 0, -1, 0, -1, 0, -1);
}
inline void order(__m256i& a, __m256i& b) {
  const __m256i lo = _mm256_min_epi32(a, b);
  b = _mm256_max_epi32(a, b);
  a = lo;
}

}  // namespace

// Four columns at a time in doubles, the scalar loop's products and sums in its order. The
// clamps follow the truncation, eight columns at once: a value above max truncates to max or
// more, one below 0 to 0 or less.
int32_t ahdYccRowAvx2(const AhdYccRow& r, int32_t x) {
  const __m256i top = _mm256_set1_epi32(int32_t(r.max)), zero = _mm256_setzero_si256();
  for (; x + 8 <= r.xEnd; x += 8) {
    __m256d c[2][3];
    for (int h = 0; h < 2; ++h)
      for (int k = 0; k < 3; ++k)
        c[h][k] = _mm256_cvtepi32_pd(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(r.rgb[k] + x + 4 * h)));
    for (int i = 0; i < 3; ++i) {
      __m128i t[2];
      for (int h = 0; h < 2; ++h) {
        const __m256d sum =
            _mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(_mm256_set1_pd(kYcc[i][0]), c[h][0]),
                                        _mm256_mul_pd(_mm256_set1_pd(kYcc[i][1]), c[h][1])),
                          _mm256_mul_pd(_mm256_set1_pd(kYcc[i][2]), c[h][2]));
        t[h] = _mm256_cvttpd_epi32(_mm256_add_pd(_mm256_set1_pd(r.base[i]), sum));
      }
      put(r.ycc[i], x, _mm256_min_epi32(_mm256_max_epi32(_mm256_set_m128i(t[1], t[0]), zero), top));
    }
  }
  return x;
}

template <typename Sample>
int32_t ahdGreenRowAvx2(const AhdGreenRow<Sample>& r, int32_t x) {
  const __m256i top = _mm256_set1_epi32(r.max), green = greenLanes(r.greenEven);
  const ptrdiff_t w = r.w;
  for (; x + 8 <= r.xEnd; x += 8) {
    const Sample* p = r.raw + x;
    const __m256i z = widen(p), z2 = _mm256_srai_epi32(z, 1);
    auto estimate = [&](ptrdiff_t d) {
      const __m256i near =
          _mm256_add_epi32(_mm256_srai_epi32(widen(p - d), 1), _mm256_srai_epi32(widen(p + d), 1));
      const __m256i far = _mm256_add_epi32(_mm256_srai_epi32(widen(p - 2 * d), 2),
                                           _mm256_srai_epi32(widen(p + 2 * d), 2));
      const __m256i v = clampTo(_mm256_sub_epi32(_mm256_add_epi32(near, z2), far), top);
      return _mm256_blendv_epi8(v, z, green);
    };
    put(r.gH, x, estimate(1));
    put(r.gV, x, estimate(w));
  }
  return x;
}
template int32_t ahdGreenRowAvx2(const AhdGreenRow<uint8_t>&, int32_t);
template int32_t ahdGreenRowAvx2(const AhdGreenRow<uint16_t>&, int32_t);

template <typename Sample>
int32_t ahdColourRowAvx2(const AhdColourRow<Sample>& r, int32_t x) {
  const __m256i top = _mm256_set1_epi32(r.max), green = greenLanes(r.greenEven);
  for (; x + 8 <= r.xEnd; x += 8) {
    // Sample minus green at row dy, column x + dx.
    auto diff = [&](int dy, int32_t dx) {
      return _mm256_sub_epi32(widen(r.raw[dy] + x + dx), at(r.g[dy], x + dx));
    };
    const __m256i g = at(r.g[1], x);
    const __m256i diag = clampTo(
        _mm256_add_epi32(
            _mm256_add_epi32(_mm256_add_epi32(g, quarter(diff(2, -1))), quarter(diff(0, -1))),
            _mm256_add_epi32(quarter(diff(0, 1)), quarter(diff(2, 1)))),
        top);
    const __m256i across =
        clampTo(_mm256_add_epi32(g, _mm256_add_epi32(half(diff(1, -1)), half(diff(1, 1)))), top);
    const __m256i upDown =
        clampTo(_mm256_add_epi32(g, _mm256_add_epi32(half(diff(2, 0)), half(diff(0, 0)))), top);
    put(r.own, x, _mm256_blendv_epi8(widen(r.raw[1] + x), across, green));
    put(r.other, x, _mm256_blendv_epi8(diag, upDown, green));
  }
  return x;
}
template int32_t ahdColourRowAvx2(const AhdColourRow<uint8_t>&, int32_t);
template int32_t ahdColourRowAvx2(const AhdColourRow<uint16_t>&, int32_t);

namespace {

// Squares of exact integers below 2^17 and their sums are exact in doubles.
inline void chroma(__m256i db, __m256i dr, __m256d out[2]) {
  for (int i = 0; i < 2; ++i) {
    const __m256d b =
        _mm256_cvtepi32_pd(i ? _mm256_extracti128_si256(db, 1) : _mm256_castsi256_si128(db));
    const __m256d c =
        _mm256_cvtepi32_pd(i ? _mm256_extracti128_si256(dr, 1) : _mm256_castsi256_si128(dr));
    out[i] = _mm256_add_pd(_mm256_mul_pd(b, b), _mm256_mul_pd(c, c));
  }
}

// Two four-lane masks of doubles as one eight-lane mask.
inline __m256i narrow(__m256d lo, __m256d hi) {
  const __m256i pick = _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7);
  const __m256i a = _mm256_permutevar8x32_epi32(_mm256_castpd_si256(lo), pick);
  const __m256i b = _mm256_permutevar8x32_epi32(_mm256_castpd_si256(hi), pick);
  return _mm256_permute2x128_si256(a, b, 0x20);
}

// Neighbours in the order down, right, left, up; the thresholds take V's up and down and H's
// left and right.
constexpr int kRow[4] = {2, 1, 1, 0}, kDx[4] = {0, 1, -1, 0};

// The square of the whole part of the square root of v, 0 <= v <= 2 * 32767^2. The root in
// single precision is within one of the whole part, and one step each way settles it (checked
// against the double root at every such v).
inline __m256i flooredSquare(__m256i v) {
  __m256i e = _mm256_cvttps_epi32(_mm256_sqrt_ps(_mm256_cvtepi32_ps(v)));
  e = _mm256_add_epi32(e, _mm256_cmpgt_epi32(_mm256_mullo_epi32(e, e), v));
  const __m256i e2 = _mm256_mullo_epi32(e, e);
  const __m256i next =
      _mm256_add_epi32(_mm256_add_epi32(e2, _mm256_add_epi32(e, e)), _mm256_set1_epi32(1));
  return _mm256_blendv_epi8(next, e2, _mm256_cmpgt_epi32(next, v));
}

// Samples up to 15 bits: differences fit 16-bit halves and the squared distances 31 bits, so
// one multiply-add per neighbour gives them; the square root alone runs in doubles.
int32_t homRowNarrow(const AhdHomRow& r, int32_t x) {
  const __m256i one = _mm256_set1_epi32(1);
  for (; x < r.xEnd; x += 8) {
    __m256i dY[2][4], dC[2][4];
    for (int k = 0; k < 2; ++k) {
      const __m256i y = at(r.Y[k][1], x), cb = at(r.Cb[k][1], x), cr = at(r.Cr[k][1], x);
      for (int d = 0; d < 4; ++d) {
        const int32_t nx = x + kDx[d];
        dY[k][d] = _mm256_abs_epi32(_mm256_sub_epi32(at(r.Y[k][kRow[d]], nx), y));
        const __m256i db = _mm256_sub_epi32(at(r.Cb[k][kRow[d]], nx), cb);
        const __m256i dr = _mm256_sub_epi32(at(r.Cr[k][kRow[d]], nx), cr);
        const __m256i pair = _mm256_blend_epi16(db, _mm256_slli_epi32(dr, 16), 0xAA);
        dC[k][d] = _mm256_madd_epi16(pair, pair);
      }
    }
    const __m256i eL = _mm256_add_epi32(_mm256_min_epi32(_mm256_max_epi32(dY[1][3], dY[1][0]),
                                                         _mm256_max_epi32(dY[0][2], dY[0][1])),
                                        one);
    const __m256i c2 = _mm256_min_epi32(_mm256_max_epi32(dC[1][3], dC[1][0]),
                                        _mm256_max_epi32(dC[0][2], dC[0][1]));
    const __m256i eC = _mm256_add_epi32(flooredSquare(c2), one);
    // H's count minus V's: the pixel itself cancels.
    __m256i n = _mm256_setzero_si256();
    for (int d = 0; d < 4; ++d)
      n = _mm256_add_epi32(
          _mm256_sub_epi32(n, _mm256_and_si256(_mm256_cmpgt_epi32(eL, dY[0][d]),
                                               _mm256_cmpgt_epi32(eC, dC[0][d]))),
          _mm256_and_si256(_mm256_cmpgt_epi32(eL, dY[1][d]), _mm256_cmpgt_epi32(eC, dC[1][d])));
    put(r.lead, x, n);
  }
  return x;
}

}  // namespace

int32_t ahdHomRowAvx2(const AhdHomRow& r, int32_t x) {
  if (r.max <= 32767) return homRowNarrow(r, x);
  for (; x < r.xEnd; x += 8) {
    __m256i dY[2][4];
    __m256d dC[2][4][2];
    for (int k = 0; k < 2; ++k) {
      const __m256i y = at(r.Y[k][1], x), cb = at(r.Cb[k][1], x), cr = at(r.Cr[k][1], x);
      for (int d = 0; d < 4; ++d) {
        const int32_t nx = x + kDx[d];
        dY[k][d] = _mm256_abs_epi32(_mm256_sub_epi32(at(r.Y[k][kRow[d]], nx), y));
        chroma(_mm256_sub_epi32(at(r.Cb[k][kRow[d]], nx), cb),
               _mm256_sub_epi32(at(r.Cr[k][kRow[d]], nx), cr), dC[k][d]);
      }
    }
    const __m256i eL = _mm256_min_epi32(_mm256_max_epi32(dY[1][3], dY[1][0]),
                                        _mm256_max_epi32(dY[0][2], dY[0][1]));
    __m256d e2[2];
    for (int i = 0; i < 2; ++i) {
      const __m256d c2 = _mm256_min_pd(_mm256_max_pd(dC[1][3][i], dC[1][0][i]),
                                       _mm256_max_pd(dC[0][2][i], dC[0][1][i]));
      const __m256d e = _mm256_round_pd(_mm256_sqrt_pd(c2), _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
      e2[i] = _mm256_mul_pd(e, e);
    }
    __m256i n = _mm256_setzero_si256();  // H's count minus V's
    for (int k = 0; k < 2; ++k)
      for (int d = 0; d < 4; ++d) {
        const __m256i near =
            _mm256_cmpgt_epi32(_mm256_add_epi32(eL, _mm256_set1_epi32(1)), dY[k][d]);
        const __m256i similar = narrow(_mm256_cmp_pd(dC[k][d][0], e2[0], _CMP_LE_OQ),
                                       _mm256_cmp_pd(dC[k][d][1], e2[1], _CMP_LE_OQ));
        const __m256i hit = _mm256_and_si256(near, similar);  // -1 where the neighbour counts
        n = k ? _mm256_add_epi32(n, hit) : _mm256_sub_epi32(n, hit);
      }
    put(r.lead, x, n);
  }
  return x;
}

int32_t ahdChooseRowAvx2(const AhdChooseRow& r, int32_t x) {
  for (; x + 8 <= r.xEnd; x += 8) {
    __m256i sum = _mm256_setzero_si256();
    for (int d = 0; d < 3; ++d)
      sum = _mm256_add_epi32(
          sum, _mm256_add_epi32(_mm256_add_epi32(at(r.lead[d], x - 1), at(r.lead[d], x)),
                                at(r.lead[d], x + 1)));
    const __m256i takeH = _mm256_cmpgt_epi32(sum, _mm256_setzero_si256());
    for (int c = 0; c < 3; ++c)
      put(r.out[c], x, _mm256_blendv_epi8(at(r.cand[1][c], x), at(r.cand[0][c], x), takeH));
  }
  return x;
}

int32_t ahdRefineStatsAvx2(const AhdRefineRow& r, int32_t x) {
  if (x & 7) return x;
  const int red = r.redChannel;
  const __m256i top = _mm256_set1_epi32(r.max);
  static constexpr int kNet[16][2] = {{0, 6}, {2, 3}, {4, 5}, {0, 2}, {1, 4}, {3, 6},
                                      {0, 1}, {2, 5}, {3, 4}, {1, 2}, {4, 6}, {2, 3},
                                      {4, 5}, {1, 2}, {3, 4}, {5, 6}};
  for (; x < r.xEnd; x += 8) {
    const __m256i G = at(r.cur[1], x);
    __m256i v[2][6];  // red, blue: low, high, s3, then G - colour's three sorted
    for (int i = 0; i < 2; ++i) {
      const int ch = i ? 2 - red : red;
      const int32_t* g[3] = {r.up[1], r.cur[1], r.down[1]};
      const int32_t* c[3] = {r.up[ch], r.cur[ch], r.down[ch]};
      auto diff = [&](int row, int32_t dx) {
        return _mm256_sub_epi32(at(c[row], x + dx), at(g[row], x + dx));
      };
      __m256i d[7] = {diff(0, -1), diff(0, 0), diff(0, 1), diff(1, 1),
                      diff(2, -1), diff(2, 0), diff(2, 1)};
      for (const auto& n : kNet) order(d[n[0]], d[n[1]]);
      v[i][0] = clampTo(_mm256_add_epi32(G, half(_mm256_add_epi32(d[3], d[2]))), top);
      v[i][1] = clampTo(_mm256_add_epi32(G, half(_mm256_add_epi32(d[3], d[4]))), top);
      v[i][2] = d[3];
      // Green's others: up, right, down as G - colour.
      __m256i e0 = _mm256_sub_epi32(at(g[0], x), at(c[0], x));
      __m256i e1 = _mm256_sub_epi32(at(g[1], x + 1), at(c[1], x + 1));
      __m256i e2 = _mm256_sub_epi32(at(g[2], x), at(c[2], x));
      order(e0, e1), order(e1, e2), order(e0, e1);
      v[i][3] = e0, v[i][4] = e1, v[i][5] = e2;
    }
    // Red beside blue, column by column.
    int32_t* block = ahdStatBlock(r, x);
    for (int k = 0; k < 6; ++k) {
      const __m256i lo = _mm256_unpacklo_epi32(v[0][k], v[1][k]);
      const __m256i hi = _mm256_unpackhi_epi32(v[0][k], v[1][k]);
      put(block, kAhdStatPairs * k, _mm256_permute2x128_si256(lo, hi, 0x20));
      put(block, kAhdStatPairs * k + 8, _mm256_permute2x128_si256(lo, hi, 0x31));
    }
  }
  return x;
}

namespace {

inline __m128i pairAt(const int32_t* q) {
  return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(q));
}
inline __m128i halfOf(__m128i v) {
  return _mm_srai_epi32(_mm_add_epi32(v, _mm_srli_epi32(v, 31)), 1);
}

// Statistic k of columns x (row a) and x' (row b): red and blue of a, then of b.
inline __m128i pairsAt(const int32_t* qa, const int32_t* qb, int k) {
  return _mm_unpacklo_epi64(pairAt(qa + kAhdStatPairs * k), pairAt(qb + kAhdStatPairs * k));
}

// Eight steps' lanes (two steps a vector) as a's and b's rows of lanes 0 and 1 (or 2 and 3).
inline void unpackSteps(const int32_t* lanes, int32_t* a0, int32_t* a1, int32_t* b0, int32_t* b1,
                        int32_t x, int32_t xb) {
  const __m256i pick = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
  __m256i v[4];
  for (int i = 0; i < 4; ++i) v[i] = _mm256_permutevar8x32_epi32(at(lanes, 8 * i), pick);
  const __m256i lo01 = _mm256_unpacklo_epi64(v[0], v[1]), lo23 = _mm256_unpacklo_epi64(v[2], v[3]);
  const __m256i hi01 = _mm256_unpackhi_epi64(v[0], v[1]), hi23 = _mm256_unpackhi_epi64(v[2], v[3]);
  put(a0, x, _mm256_permute2x128_si256(lo01, lo23, 0x20));
  put(b0, xb, _mm256_permute2x128_si256(lo01, lo23, 0x31));
  if (a1) put(a1, x, _mm256_permute2x128_si256(hi01, hi23, 0x20));
  if (b1) put(b1, xb, _mm256_permute2x128_si256(hi01, hi23, 0x31));
}

}  // namespace

// Both rows in one vector, red and blue of a in lanes 0 and 1, of b in 2 and 3: the scalar step's
// arithmetic lane by lane, green's sum adding neighbouring lanes. The lanes of eight steps go to
// the rows at once.
void ahdRefinePairAvx2(AhdSweep& a, const AhdRefineRow& ra, int32_t xa, AhdSweep& b,
                       const AhdRefineRow& rb, int32_t xb, int32_t n) {
  __m128i prev = _mm_setr_epi32(a.prevR, a.prevB, b.prevR, b.prevB);
  __m128i prevG = _mm_setr_epi32(a.prevG, a.prevG, b.prevG, b.prevG);
  const __m128i top = _mm_set1_epi32(a.max), zero = _mm_setzero_si128();
  alignas(16) int32_t colours[32], greens[32];
  for (int32_t i = 0; i < n; i += 8) {
    const int32_t* qa = ahdStatCell(ra, xa + i);
    const int32_t* qb = ahdStatCell(rb, xb + i);
    for (int32_t k = 0; k < 8; ++k, qa += 2, qb += 2) {
      const int32_t ga = a.green[xa + i + k], gb = b.green[xb + i + k];
      const __m128i G = _mm_setr_epi32(ga, ga, gb, gb), d = _mm_sub_epi32(prev, prevG);
      const __m128i c = _mm_add_epi32(G, halfOf(_mm_add_epi32(pairsAt(qa, qb, 2), d)));
      const __m128i X = _mm_min_epi32(_mm_max_epi32(c, pairsAt(qa, qb, 0)), pairsAt(qa, qb, 1));
      const __m128i e = _mm_min_epi32(_mm_max_epi32(_mm_sub_epi32(zero, d), pairsAt(qa, qb, 3)),
                                      pairsAt(qa, qb, 5));
      const __m128i u = _mm_add_epi32(X, halfOf(_mm_add_epi32(e, pairsAt(qa, qb, 4))));
      const __m128i sum = _mm_add_epi32(u, _mm_shuffle_epi32(u, 0xB1));
      prevG = _mm_min_epi32(_mm_max_epi32(_mm_srai_epi32(sum, 1), zero), top);
      prev = X;
      _mm_store_si128(reinterpret_cast<__m128i*>(colours + 4 * k), X);
      _mm_store_si128(reinterpret_cast<__m128i*>(greens + 4 * k), prevG);
    }
    unpackSteps(colours, a.outR, a.outB, b.outR, b.outB, xa + i, xb + i);
    unpackSteps(greens, a.outG, nullptr, b.outG, nullptr, xa + i, xb + i);
  }
  a.prevR = _mm_cvtsi128_si32(prev), a.prevB = _mm_extract_epi32(prev, 1);
  b.prevR = _mm_extract_epi32(prev, 2), b.prevB = _mm_extract_epi32(prev, 3);
  a.prevG = _mm_cvtsi128_si32(prevG), b.prevG = _mm_extract_epi32(prevG, 2);
}

namespace {

// Eight columns' samples of one channel, saturated to 16 bits (they fit).
inline __m128i narrow16(const int32_t* c, int32_t x) {
  const __m256i v = at(c, x);
  return _mm_packus_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
}

}  // namespace

template <>
int32_t ahdPackRowAvx2(const AhdPackRow<uint8_t>& r, int32_t x) {
  // Bytes c0 c1 c2 (and a kept fourth) of four pixels from c0 0-3, c1 0-3, c2 0-3, kept 0-3.
  const __m128i three = _mm_setr_epi8(0, 4, 8, 1, 5, 9, 2, 6, 10, 3, 7, 11, -1, -1, -1, -1);
  const __m128i four = _mm_setr_epi8(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15);
  for (; x + 8 <= r.xEnd - (r.p == 3 ? 2 : 0); x += 8) {
    const __m128i c01 = _mm_packus_epi16(narrow16(r.c[0], x), narrow16(r.c[1], x));
    const __m128i c2 = _mm_packus_epi16(narrow16(r.c[2], x), _mm_setzero_si128());
    uint8_t* px = r.px + size_t(x) * r.p;
    if (r.p == 3) {
      // Twelve bytes a half; each 16-byte store runs into pixels the next ones write.
      // c0 0-3, c1 0-3, c0 4-7, c1 4-7.
      const __m128i lo = _mm_unpacklo_epi32(c01, _mm_srli_si128(c01, 8));
      const __m128i a = _mm_unpacklo_epi64(lo, c2);
      const __m128i b = _mm_unpacklo_epi64(_mm_srli_si128(lo, 8), _mm_srli_si128(c2, 4));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(px), _mm_shuffle_epi8(a, three));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(px + 12), _mm_shuffle_epi8(b, three));
    } else {
      const __m256i old = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(px));
      const __m256i kept = _mm256_srli_epi32(old, 24);
      const __m128i k = _mm_packus_epi16(
          _mm_packus_epi32(_mm256_castsi256_si128(kept), _mm256_extracti128_si256(kept, 1)),
          _mm_setzero_si128());
      const __m128i lo = _mm_unpacklo_epi32(c01, _mm_srli_si128(c01, 8));
      const __m128i a = _mm_unpacklo_epi64(lo, _mm_unpacklo_epi32(c2, k));
      const __m128i b = _mm_unpacklo_epi64(
          _mm_srli_si128(lo, 8), _mm_unpacklo_epi32(_mm_srli_si128(c2, 4), _mm_srli_si128(k, 4)));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(px),
                          _mm256_set_m128i(_mm_shuffle_epi8(b, four), _mm_shuffle_epi8(a, four)));
    }
  }
  return x;
}

template <>
int32_t ahdPackRowAvx2(const AhdPackRow<uint16_t>& r, int32_t x) {
  for (; x + 8 <= r.xEnd - (r.p == 3 ? 1 : 0); x += 8) {
    const __m128i c0 = narrow16(r.c[0], x), c1 = narrow16(r.c[1], x), c2 = narrow16(r.c[2], x);
    uint16_t* px = r.px + size_t(x) * r.p;
    const __m128i c01[2] = {_mm_unpacklo_epi16(c0, c1), _mm_unpackhi_epi16(c0, c1)};
    if (r.p == 3) {
      // Eight bytes a pixel, six of them its own: each store's last two the next one's first.
      const __m128i c2x[2] = {_mm_unpacklo_epi16(c2, c2), _mm_unpackhi_epi16(c2, c2)};
      for (int h = 0; h < 2; ++h) {
        const __m128i lo = _mm_unpacklo_epi32(c01[h], c2x[h]),
                      hi = _mm_unpackhi_epi32(c01[h], c2x[h]);
        uint16_t* q = px + 12 * h;
        _mm_storel_epi64(reinterpret_cast<__m128i*>(q), lo);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(q + 3), _mm_srli_si128(lo, 8));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(q + 6), hi);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(q + 9), _mm_srli_si128(hi, 8));
      }
    } else {
      for (int h = 0; h < 2; ++h) {
        __m128i* q = reinterpret_cast<__m128i*>(px + 16 * h);
        const __m128i old0 = _mm_loadu_si128(q), old1 = _mm_loadu_si128(q + 1);
        const __m128i c2x = h ? _mm_unpackhi_epi16(c2, c2) : _mm_unpacklo_epi16(c2, c2);
        const __m128i lo = _mm_unpacklo_epi32(c01[h], c2x), hi = _mm_unpackhi_epi32(c01[h], c2x);
        // Words 3 and 7 are the kept fourth samples.
        _mm_storeu_si128(q, _mm_blend_epi16(lo, old0, 0x88));
        _mm_storeu_si128(q + 1, _mm_blend_epi16(hi, old1, 0x88));
      }
    }
  }
  return x;
}

}  // namespace kernels
