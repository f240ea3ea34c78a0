// Built-in tone curves: monotone cubics through fixed knots, made at compile time with + - * /
// Hand-aligned tables read better as columns.
// clang-format off
// only, so every toolchain produces the same entries.
#include <array>
#include <cstddef>

#include "kernels/colour_steps.h"

namespace kernels {
namespace {

struct Knot {
  double x, y;
};

// Fritsch-Carlson slopes: zero at flat or turning knots, each limited to 3 secants so the
// curve never overshoots (the square limit needs no square root).
template <size_t K>
constexpr std::array<double, K> slopes(const std::array<Knot, K>& k) {
  std::array<double, K> d{}, m{};
  for (size_t i = 0; i + 1 < K; ++i) d[i] = (k[i + 1].y - k[i].y) / (k[i + 1].x - k[i].x);
  m[0] = d[0];
  m[K - 1] = d[K - 2];
  for (size_t i = 1; i + 1 < K; ++i) m[i] = (d[i - 1] == 0.0 || d[i] == 0.0) ? 0.0 : (d[i - 1] + d[i]) / 2.0;
  for (size_t i = 0; i + 1 < K; ++i) {
    if (d[i] == 0.0) {
      m[i] = m[i + 1] = 0.0;
      continue;
    }
    if (m[i] > 3.0 * d[i]) m[i] = 3.0 * d[i];
    if (m[i + 1] > 3.0 * d[i]) m[i + 1] = 3.0 * d[i];
  }
  return m;
}

template <typename Entry, size_t N, size_t K>
constexpr std::array<Entry, N> curve(const std::array<Knot, K>& k) {
  const std::array<double, K> m = slopes(k);
  std::array<Entry, N> out{};
  size_t seg = 0;
  for (size_t v = 0; v < N; ++v) {
    const double x = static_cast<double>(v);
    while (seg + 2 < K && x >= k[seg + 1].x) ++seg;
    if (x == k[seg].x) {
      out[v] = static_cast<Entry>(k[seg].y);
      continue;
    }
    const double h = k[seg + 1].x - k[seg].x, t = (x - k[seg].x) / h;
    const double t2 = t * t, t3 = t2 * t;
    const double y = (2.0 * t3 - 3.0 * t2 + 1.0) * k[seg].y + (t3 - 2.0 * t2 + t) * h * m[seg] +
                     (3.0 * t2 - 2.0 * t3) * k[seg + 1].y + (t3 - t2) * h * m[seg + 1];
    const double top = k[K - 1].y;
    out[v] = static_cast<Entry>(y < 0.0 ? 0.0 : (y > top ? top : y));
  }
  return out;
}

// Each: 0, the end of the toe (inputs up to it give 0), the telling rows, the maximum.
constexpr std::array<Knot, 9> kKnots8 = {{{0, 0}, {1, 0}, {8, 10}, {16, 27}, {32, 60}, {64, 115},
                                          {128, 194}, {192, 239}, {255, 255}}};
constexpr std::array<Knot, 8> kKnots10 = {{{0, 0}, {4, 0}, {32, 40}, {128, 240}, {256, 460},
                                           {512, 777}, {768, 956}, {1023, 1023}}};
constexpr std::array<Knot, 7> kKnots12 = {{{0, 0}, {17, 0}, {256, 432}, {1024, 1842}, {2048, 3108},
                                           {3072, 3825}, {4095, 4095}}};
constexpr std::array<Knot, 7> kKnots14 = {{{0, 0}, {67, 0}, {1024, 1727}, {4096, 7371},
                                           {8192, 12432}, {12288, 15302}, {16383, 16383}}};
constexpr std::array<Knot, 7> kKnots16 = {{{0, 0}, {263, 0}, {4096, 6907}, {16384, 29483},
                                           {32768, 49730}, {49152, 61207}, {65535, 65535}}};

constexpr auto kTone8 = curve<uint8_t, 256>(kKnots8);
constexpr auto kTone10 = curve<uint16_t, 1024>(kKnots10);
constexpr auto kTone12 = curve<uint16_t, 4096>(kKnots12);
constexpr auto kTone14 = curve<uint16_t, 16384>(kKnots14);
constexpr auto kTone16 = curve<uint16_t, 65536>(kKnots16);

template <typename Table>
auto view(const Table& t) {
  return ToneLut<typename Table::value_type>{t.data(), static_cast<uint32_t>(t.size())};
}

}  // namespace

ToneLut<uint8_t> BuiltInToneLut8() { return view(kTone8); }

ToneLut<uint16_t> BuiltInToneLut16(uint8_t bits) {
  switch (bits) {
    case 10: return view(kTone10);
    case 12: return view(kTone12);
    case 14: return view(kTone14);
    default: return view(kTone16);
  }
}

}  // namespace kernels
// clang-format on
