// Bilinear demosaic interior with AVX2: whole blocks of a row; the scalar loop does the rest.
#include <immintrin.h>

#include <algorithm>
#include <array>

#include "kernels/bilinear_row.h"
#include "kernels/kernel_base.h"

namespace kernels {
namespace {

// Per-width helpers; the body below is written once over them.
template <typename Sample>
struct Lanes;

template <>
struct Lanes<uint8_t> {
  static constexpr int32_t kCount = 32;
  static __m256i avg(__m256i a, __m256i b) { return _mm256_avg_epu8(a, b); }
  static __m256i add(__m256i a, __m256i b) { return _mm256_add_epi8(a, b); }
  static __m256i sub(__m256i a, __m256i b) { return _mm256_sub_epi8(a, b); }
  static __m256i one() { return _mm256_set1_epi8(1); }
  static __m256i unpackLo(__m256i a, __m256i b) { return _mm256_unpacklo_epi8(a, b); }
  static __m256i unpackHi(__m256i a, __m256i b) { return _mm256_unpackhi_epi8(a, b); }
  static __m256i unpackLo2(__m256i a, __m256i b) { return _mm256_unpacklo_epi16(a, b); }
  static __m256i unpackHi2(__m256i a, __m256i b) { return _mm256_unpackhi_epi16(a, b); }
  static __m256i fourthMask() { return _mm256_set1_epi32(int32_t(0xFF000000u)); }
};

template <>
struct Lanes<uint16_t> {
  static constexpr int32_t kCount = 16;
  static __m256i avg(__m256i a, __m256i b) { return _mm256_avg_epu16(a, b); }
  static __m256i add(__m256i a, __m256i b) { return _mm256_add_epi16(a, b); }
  static __m256i sub(__m256i a, __m256i b) { return _mm256_sub_epi16(a, b); }
  static __m256i one() { return _mm256_set1_epi16(1); }
  static __m256i unpackLo(__m256i a, __m256i b) { return _mm256_unpacklo_epi16(a, b); }
  static __m256i unpackHi(__m256i a, __m256i b) { return _mm256_unpackhi_epi16(a, b); }
  static __m256i unpackLo2(__m256i a, __m256i b) { return _mm256_unpacklo_epi32(a, b); }
  static __m256i unpackHi2(__m256i a, __m256i b) { return _mm256_unpackhi_epi32(a, b); }
  static __m256i fourthMask() { return _mm256_set1_epi64x(int64_t(0xFFFF000000000000ull)); }
};

template <typename Sample>
inline __m256i load(const Sample* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
template <typename Sample>
inline void store(Sample* p, __m256i v) {
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

// The means are taken on inverted samples (v' = max - v): there the rounding-up average is
// the rounding-down one, avg(a', b') = (floor((a + b) / 2))', one instruction per mean.
template <typename Sample>
inline __m256i loadInverted(const Sample* p) {
  return _mm256_xor_si256(load(p), _mm256_set1_epi32(-1));
}

// (floor((a + b + c + d) / 4))' from inverted samples: the mean of the two pair means, less
// the carry that the two dropped low bits and the second halving make together.
template <typename Sample>
inline __m256i floorAvg4Inverted(__m256i a, __m256i b, __m256i c, __m256i d) {
  using L = Lanes<Sample>;
  const __m256i ab = L::avg(a, b), cd = L::avg(c, d);
  const __m256i odd = _mm256_and_si256(_mm256_xor_si256(a, b), _mm256_xor_si256(c, d));
  const __m256i carry = _mm256_and_si256(_mm256_and_si256(_mm256_xor_si256(ab, cd), odd), L::one());
  return L::sub(L::avg(ab, cd), carry);
}

// pshufb masks placing three planes into one 16-byte lane of interleaved pixels.
template <typename Sample>
constexpr std::array<std::array<std::array<int8_t, 32>, 3>, 3> interleaveMasks() {
  std::array<std::array<std::array<int8_t, 32>, 3>, 3> m{};  // [output block][plane][byte]
  for (int block = 0; block < 3; ++block)
    for (int plane = 0; plane < 3; ++plane)
      for (int k = 0; k < 32; ++k) {
        const int byte = block * 16 + (k & 15);
        const int sample = byte / int(sizeof(Sample)), part = byte % int(sizeof(Sample));
        const int pixel = sample / 3, channel = sample % 3;
        m[block][plane][k] =
            channel == plane ? int8_t(pixel * sizeof(Sample) + part) : int8_t(-128);
      }
  return m;
}

template <typename Sample>
inline __m256i gather3(const __m256i ch[3], int block) {
  static constexpr auto kMasks = interleaveMasks<Sample>();
  __m256i v = _mm256_setzero_si256();
  for (int plane = 0; plane < 3; ++plane) {
    const __m256i mask =
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(kMasks[block][plane].data()));
    v = _mm256_or_si256(v, _mm256_shuffle_epi8(ch[plane], mask));
  }
  return v;
}

// Three planes of one block to packed 3-sample pixels; the lanes are reassembled in order.
template <typename Sample>
inline void store3(Sample* out, const __m256i ch[3]) {
  const __m256i t0 = gather3<Sample>(ch, 0), t1 = gather3<Sample>(ch, 1),
                t2 = gather3<Sample>(ch, 2);
  constexpr int32_t kStep = 32 / sizeof(Sample);
  store(out, _mm256_permute2x128_si256(t0, t1, 0x20));
  store(out + kStep, _mm256_permute2x128_si256(t2, t0, 0x30));
  store(out + 2 * kStep, _mm256_permute2x128_si256(t1, t2, 0x31));
}

// Four-sample pixels: the fourth sample keeps what the buffer held.
template <typename Sample>
inline void store4(Sample* out, const __m256i ch[3]) {
  using L = Lanes<Sample>;
  const __m256i zero = _mm256_setzero_si256();
  const __m256i abLo = L::unpackLo(ch[0], ch[1]), abHi = L::unpackHi(ch[0], ch[1]);
  const __m256i czLo = L::unpackLo(ch[2], zero), czHi = L::unpackHi(ch[2], zero);
  const __m256i q0 = L::unpackLo2(abLo, czLo), q1 = L::unpackHi2(abLo, czLo);
  const __m256i q2 = L::unpackLo2(abHi, czHi), q3 = L::unpackHi2(abHi, czHi);
  const __m256i parts[4] = {
      _mm256_permute2x128_si256(q0, q1, 0x20), _mm256_permute2x128_si256(q2, q3, 0x20),
      _mm256_permute2x128_si256(q0, q1, 0x31), _mm256_permute2x128_si256(q2, q3, 0x31)};
  constexpr int32_t kStep = 32 / sizeof(Sample);
  for (int i = 0; i < 4; ++i)
    store(out + i * kStep, _mm256_blendv_epi8(parts[i], load(out + i * kStep), L::fourthMask()));
}

// One block of lanes starting at the even column x; rowChannel 0 or 2 (RC) receives the row's
// own red or blue.
template <typename Sample, int P, int RC>
inline void bilinearBlock(const BilinearRow<Sample>& r, int32_t x, __m256i green) {
  using L = Lanes<Sample>;
  const __m256i n = loadInverted(r.up + x), nw = loadInverted(r.up + x - 1),
                ne = loadInverted(r.up + x + 1);
  const __m256i w = loadInverted(r.cur + x - 1), z = loadInverted(r.cur + x),
                e = loadInverted(r.cur + x + 1);
  const __m256i s = loadInverted(r.dn + x), sw = loadInverted(r.dn + x - 1),
                se = loadInverted(r.dn + x + 1);
  const __m256i across = L::avg(w, e), upDown = L::avg(n, s);
  const __m256i cross = floorAvg4Inverted<Sample>(n, s, w, e),
                diag = floorAvg4Inverted<Sample>(nw, ne, sw, se);
  const __m256i ones = _mm256_set1_epi32(-1);
  const __m256i rowColour = _mm256_xor_si256(_mm256_blendv_epi8(z, across, green), ones);
  const __m256i g = _mm256_xor_si256(_mm256_blendv_epi8(cross, L::avg(z, nw), green), ones);
  const __m256i other = _mm256_xor_si256(_mm256_blendv_epi8(diag, upDown, green), ones);
  const __m256i ch[3] = {RC == 0 ? rowColour : other, g, RC == 0 ? other : rowColour};
  if constexpr (P == 3)
    store3(r.out + size_t(x) * 3, ch);
  else
    store4(r.out + size_t(x) * 4, ch);
}

template <typename Sample, int P, int RC>
int32_t bilinearRow(const BilinearRow<Sample>& r, int32_t x) {
  using L = Lanes<Sample>;
  if ((x & 1) || r.xEnd - x < L::kCount) return x;
  // Green lanes: all ones where the column is a green site (blocks start on even columns).
  const __m256i green =
      sizeof(Sample) == 1
          ? (r.greenEven ? _mm256_set1_epi16(0x00FF) : _mm256_set1_epi16(int16_t(0xFF00)))
          : (r.greenEven ? _mm256_set1_epi32(0x0000FFFF) : _mm256_set1_epi32(int32_t(0xFFFF0000u)));
  // The last block is moved back to end at the row's end, on an even column; the overlap is
  // written twice with the same values.
  const int32_t lastStart = (r.xEnd - L::kCount) & ~1;
  for (;;) {
    bilinearBlock<Sample, P, RC>(r, x, green);
    if (x == lastStart) return x + L::kCount;
    x = std::min(x + L::kCount, lastStart);
  }
}

template <typename Sample>
int32_t bilinearRowAny(const BilinearRow<Sample>& r, int32_t x) {
  if (r.p == 4)
    return r.rowChannel == 0 ? bilinearRow<Sample, 4, 0>(r, x) : bilinearRow<Sample, 4, 2>(r, x);
  return r.rowChannel == 0 ? bilinearRow<Sample, 3, 0>(r, x) : bilinearRow<Sample, 3, 2>(r, x);
}

}  // namespace

int32_t bilinearRowAvx2(const BilinearRow<uint8_t>& row, int32_t x) {
  return bilinearRowAny(row, x);
}
int32_t bilinearRowAvx2(const BilinearRow<uint16_t>& row, int32_t x) {
  return bilinearRowAny(row, x);
}

}  // namespace kernels
