// Reversal of 3-byte pixels with byte shuffles: 16 pixels (three registers) per block.
#include <tmmintrin.h>

#include <array>

#include "kernels/geometry_simd.h"

namespace kernels::geom {
namespace {

// Output register k of a reversed 48-byte block takes from input register r the bytes this
// mask names (0x80 elsewhere). Every output byte comes from exactly one input register.
using Mask = std::array<int8_t, 16>;
constexpr std::array<std::array<Mask, 3>, 3> reverseMasks() {
  std::array<std::array<Mask, 3>, 3> m{};
  for (int k = 0; k < 3; ++k)
    for (int r = 0; r < 3; ++r)
      for (int i = 0; i < 16; ++i) {
        const int j = 16 * k + i, src = 3 * (15 - j / 3) + j % 3;
        m[size_t(k)][size_t(r)][size_t(i)] = src / 16 == r ? int8_t(src % 16) : int8_t(-128);
      }
  return m;
}
constexpr auto kMasks = reverseMasks();

inline __m128i mask(int k, int r) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(kMasks[size_t(k)][size_t(r)].data()));
}

inline void reverse48(const __m128i in[3], __m128i out[3]) {
  // Output 0 draws on inputs 1-2, output 1 on all three, output 2 on inputs 0-1.
  out[0] = _mm_or_si128(_mm_shuffle_epi8(in[2], mask(0, 2)), _mm_shuffle_epi8(in[1], mask(0, 1)));
  out[1] = _mm_or_si128(
      _mm_or_si128(_mm_shuffle_epi8(in[2], mask(1, 2)), _mm_shuffle_epi8(in[1], mask(1, 1))),
      _mm_shuffle_epi8(in[0], mask(1, 0)));
  out[2] = _mm_or_si128(_mm_shuffle_epi8(in[1], mask(2, 1)), _mm_shuffle_epi8(in[0], mask(2, 0)));
}

}  // namespace

size_t swapReversed3Ssse3(uint8_t* left, uint8_t* rightEnd, size_t pixels) {
  size_t i = 0;
  for (; i + 16 <= pixels; i += 16) {
    auto* a = reinterpret_cast<__m128i*>(left + 3 * i);
    auto* b = reinterpret_cast<__m128i*>(rightEnd - 3 * (i + 16));
    __m128i inA[3], inB[3], outA[3], outB[3];
    for (int k = 0; k < 3; ++k) inA[k] = _mm_loadu_si128(a + k), inB[k] = _mm_loadu_si128(b + k);
    reverse48(inA, outB);
    reverse48(inB, outA);
    for (int k = 0; k < 3; ++k) _mm_storeu_si128(a + k, outA[k]), _mm_storeu_si128(b + k, outB[k]);
  }
  return i;
}

}  // namespace kernels::geom
