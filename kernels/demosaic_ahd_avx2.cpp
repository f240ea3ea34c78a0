// AHD with AVX2: the YCbCr conversion four columns at a time, the refinement's order
// statistics eight.
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
inline void order(__m256i& a, __m256i& b) {
  const __m256i lo = _mm256_min_epi32(a, b);
  b = _mm256_max_epi32(a, b);
  a = lo;
}

}  // namespace

// Four columns at a time in doubles, the scalar loop's products and sums in its order; min and
// max before the truncation give its clamps.
int32_t ahdYccRowAvx2(const AhdYccRow& r, int32_t x) {
  const __m256d top = _mm256_set1_pd(r.max), zero = _mm256_setzero_pd();
  for (; x + 4 <= r.xEnd; x += 4) {
    __m256d c[3];
    for (int k = 0; k < 3; ++k)
      c[k] = _mm256_cvtepi32_pd(_mm_loadu_si128(reinterpret_cast<const __m128i*>(r.rgb[k] + x)));
    for (int i = 0; i < 3; ++i) {
      const __m256d t =
          _mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(_mm256_set1_pd(kYcc[i][0]), c[0]),
                                      _mm256_mul_pd(_mm256_set1_pd(kYcc[i][1]), c[1])),
                        _mm256_mul_pd(_mm256_set1_pd(kYcc[i][2]), c[2]));
      const __m256d v = _mm256_add_pd(_mm256_set1_pd(r.base[i]), t);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(r.ycc[i] + x),
                       _mm256_cvttpd_epi32(_mm256_max_pd(_mm256_min_pd(v, top), zero)));
    }
  }
  return x;
}

int32_t ahdRefineStatsAvx2(const AhdRefineRow& r, int32_t x) {
  const int red = r.redChannel;
  for (; x + 8 <= r.xEnd; x += 8) {
    for (int ch : {red, 2 - red}) {
      const int32_t* const* g[3] = {&r.up[1], &r.cur[1], &r.down[1]};
      const int32_t* c[3] = {r.up[ch], r.cur[ch], r.down[ch]};
      auto diff = [&](int row, int32_t dx) {
        return _mm256_sub_epi32(at(c[row], x + dx), at(*g[row], x + dx));
      };
      __m256i d[7] = {diff(0, -1), diff(0, 0), diff(0, 1), diff(1, 1),
                      diff(2, -1), diff(2, 0), diff(2, 1)};
      static constexpr int kNet[16][2] = {{0, 6}, {2, 3}, {4, 5}, {0, 2}, {1, 4}, {3, 6},
                                          {0, 1}, {2, 5}, {3, 4}, {1, 2}, {4, 6}, {2, 3},
                                          {4, 5}, {1, 2}, {3, 4}, {5, 6}};
      for (const auto& n : kNet) order(d[n[0]], d[n[1]]);
      int32_t* const* out = ch == red ? r.red : r.blue;
      put(out[0], x, d[2]), put(out[1], x, d[3]), put(out[2], x, d[4]);
      // Green's others: up, right, down as G - colour.
      __m256i e0 = _mm256_sub_epi32(at(*g[0], x), at(c[0], x));
      __m256i e1 = _mm256_sub_epi32(at(*g[1], x + 1), at(c[1], x + 1));
      __m256i e2 = _mm256_sub_epi32(at(*g[2], x), at(c[2], x));
      order(e0, e1), order(e1, e2), order(e0, e1);
      int32_t* const* gOut = ch == red ? r.greenRed : r.greenBlue;
      put(gOut[0], x, e0), put(gOut[1], x, e1), put(gOut[2], x, e2);
    }
  }
  return x;
}

}  // namespace kernels
