// AHD with AVX2: the refinement's order statistics, eight columns at a time.
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
