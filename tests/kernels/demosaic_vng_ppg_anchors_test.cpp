// VNG and PPG hand-worked anchors on small RGGB frames, through the literal rules and the kernels
// alike, and the symmetries the two orders of rows and of channels must keep.
#include <gtest/gtest.h>

#include <initializer_list>

#include "kernels/demosaic.h"
#include "kernels/reference/reference.h"
#include "tests/kernels/kit.h"

namespace kernels {
namespace {

using testkit::Pattern;

constexpr int32_t kSide = 13;
constexpr uint32_t kRggb = 1;  // (even, even) red, (odd, odd) blue

struct Sample {
  int32_t x, y;
  uint32_t v;
};

// One output sample of a 13 x 13 frame: every red, green and blue site at its base value, then
// the listed samples; Rgb members, rows top-down.
struct Anchor {
  const char* what;
  bool vng;
  uint8_t bits;
  uint32_t red, green, blue;
  std::initializer_list<Sample> set;
  int32_t x, y, channel;
  uint32_t want;
};

template <typename S>
void check(const Anchor& a) {
  std::vector<S> raw(size_t(kSide) * kSide);
  for (int32_t y = 0; y < kSide; ++y)
    for (int32_t x = 0; x < kSide; ++x) {
      const uint8_t c = kBayerColour[kRggb][y & 1][x & 1];
      raw[size_t(y) * kSide + x] = S(c == 0 ? a.red : c == 1 ? a.green : a.blue);
    }
  for (const Sample& s : a.set) raw[size_t(s.y) * kSide + s.x] = S(s.v);
  const auto site = testkit::siteTable(false);
  const size_t stride = reference::stride<S>(3, kSide);
  std::vector<S> want(stride * kSide), got(want.size());
  (a.vng ? reference::vng<S> : reference::ppg<S>)(kRggb, site.data(), kSide, kSide, raw.data(),
                                                  want.data(), a.bits, 3, 1);
  if constexpr (sizeof(S) == 1)
    (a.vng ? DemosaicVng8Rgb : DemosaicPpg8Rgb)(kRggb, site.data(), kSide, kSide, raw.data(),
                                                got.data(), a.bits, 3, 1);
  else
    (a.vng ? DemosaicVng16Rgb : DemosaicPpg16Rgb)(kRggb, site.data(), kSide, kSide, raw.data(),
                                                  got.data(), a.bits, 3, 1);
  const size_t at = a.y * stride + a.x * 3 + a.channel;
  EXPECT_EQ(want[at], a.want) << "reference: " << a.what;
  EXPECT_EQ(got[at], a.want) << "kernel: " << a.what;
}

// Red site (6, 6) and green site (7, 6). VNG: gradients of 101 (N), 50 (E) and 51 (W) with the
// rest 0 give T = 50, so E and the five flat directions are averaged and N and W are not;
// negative quotients go toward zero (-265 / 6 is -44, not -45). PPG: ties and edges of the
// direction choice, hue transit and the diagonal choice.
const Anchor kAnchors[] = {
    {"vng red site: green from E S NE SE NW SW",
     true,
     8,
     100,
     60,
     30,
     {{6, 4, 201}, {8, 6, 150}, {4, 6, 151}},
     6,
     6,
     1,
     56},
    {"vng red site: blue from E S NE SE NW SW",
     true,
     8,
     100,
     60,
     30,
     {{6, 4, 201}, {8, 6, 150}, {4, 6, 151}},
     6,
     6,
     2,
     26},
    {"vng green site: red (horizontal colour)",
     true,
     8,
     100,
     60,
     30,
     {{7, 4, 161}, {9, 6, 110}, {5, 6, 111}},
     7,
     6,
     0,
     95},
    {"vng green site: blue (vertical colour)",
     true,
     8,
     100,
     60,
     30,
     {{7, 4, 161}, {9, 6, 110}, {5, 6, 111}},
     7,
     6,
     2,
     26},
    {"vng 12-bit green above the depth is 4095",
     true,
     12,
     3095,
     4095,
     0,
     {{6, 6, 4095}},
     6,
     6,
     1,
     4095},
    {"vng 12-bit blue below 0 is 0", true, 12, 4095, 0, 0, {{6, 6, 0}}, 6, 6, 2, 0},
    {"ppg dN = dS smallest takes north",
     false,
     8,
     100,
     60,
     30,
     {{6, 4, 120}, {6, 8, 80}, {6, 5, 80}, {6, 7, 40}, {5, 6, 0}, {7, 6, 100}},
     6,
     6,
     1,
     65},
    {"ppg all four equal takes north",
     false,
     8,
     100,
     60,
     30,
     {{6, 5, 80}, {6, 7, 40}, {5, 6, 90}, {7, 6, 50}},
     6,
     6,
     1,
     70},
    {"ppg dE = dW smallest takes east",
     false,
     8,
     100,
     60,
     30,
     {{6, 5, 0}, {6, 7, 100}, {5, 6, 90}, {7, 6, 50}, {8, 6, 105}, {4, 6, 95}},
     6,
     6,
     1,
     58},
    {"ppg green above the depth is the depth",
     false,
     8,
     0,
     0,
     0,
     {{6, 6, 255}, {6, 5, 255}, {6, 7, 255}, {7, 6, 255}},
     6,
     6,
     1,
     255},
    {"ppg L1 = L3 takes the averaging form",
     false,
     8,
     0,
     0,
     0,
     {{7, 6, 100}, {6, 6, 40}, {8, 6, 40}},
     7,
     6,
     0,
     85},
    {"ppg 16-bit hue transit past 2^31",
     false,
     16,
     0,
     0,
     0,
     {{7, 6, 40000}, {8, 6, 65535}, {8, 5, 65535}, {8, 7, 65535}, {8, 4, 65535}},
     7,
     6,
     0,
     40000},
    {"ppg Dne = Dnw takes NE-SW",
     false,
     8,
     0,
     0,
     0,
     {{7, 5, 40}, {5, 7, 80}, {5, 5, 20}, {7, 7, 60}},
     6,
     6,
     2,
     58},
    {"ppg x = 2 reads the border fill's green",
     false,
     8,
     0,
     0,
     0,
     {{2, 5, 100}, {1, 4, 100}, {1, 6, 100}, {0, 5, 100}, {1, 5, 200}},
     2,
     5,
     2,
     125},
};

TEST(KernelsDemosaicVngPpg, HandWorkedAnchors) {
  for (const Anchor& a : kAnchors) {
    if (a.bits == 8)
      check<uint8_t>(a);
    else
      check<uint16_t>(a);
  }
}

// rowOrder clear is the set image's rows reversed, border and interior alike; the Bgr member is
// the Rgb member's image with channels 0 and 2 exchanged.
TEST(KernelsDemosaicVngPpg, RowAndChannelOrdersAreExactMirrors) {
  struct Row {
    bool vng;
    uint32_t b;
    int32_t w, h;
    uint8_t bits, p;
  };
  const Row rows[] = {{true, 0, 9, 7, 8, 3},    {true, 3, 14, 11, 12, 4},  {true, 2, 8, 13, 16, 3},
                      {false, 1, 9, 7, 8, 4},   {false, 2, 15, 10, 14, 3}, {false, 0, 8, 9, 16, 4},
                      {true, 1, 33, 17, 10, 3}, {false, 3, 31, 18, 8, 3}};
  uint64_t seed = 40;
  for (const Row& r : rows) {
    auto run = [&](auto sample) {
      using S = decltype(sample);
      const uint32_t max = sizeof(S) == 1 ? 255u : (65535u >> (16 - r.bits));
      const auto raw = testkit::rawFrame<S>(Pattern::Random, r.w, r.h, max, seed++);
      const size_t stride = reference::stride<S>(r.p, r.w);
      std::vector<S> out[2][2];  // [bgr][rowOrder]
      for (int bgr = 0; bgr < 2; ++bgr)
        for (int order = 0; order < 2; ++order) {
          out[bgr][order].assign(stride * r.h, S(7));
          const auto site = testkit::siteTable(bgr != 0);
          using K = void (*)(uint32_t, const uint8_t*, int32_t, int32_t, const S*, S*, uint8_t,
                             uint8_t, uint8_t);
          K k;
          if constexpr (sizeof(S) == 1)
            k = r.vng ? (bgr ? DemosaicVng8Bgr : DemosaicVng8Rgb)
                      : (bgr ? DemosaicPpg8Bgr : DemosaicPpg8Rgb);
          else
            k = r.vng ? (bgr ? DemosaicVng16Bgr : DemosaicVng16Rgb)
                      : (bgr ? DemosaicPpg16Bgr : DemosaicPpg16Rgb);
          k(r.b, site.data(), r.w, r.h, raw.data(), out[bgr][order].data(), r.bits, r.p,
            uint8_t(order));
        }
      for (int32_t y = 0; y < r.h; ++y)
        for (int32_t x = 0; x < r.w; ++x)
          for (int ch = 0; ch < r.p; ++ch) {
            const size_t top = y * stride + x * r.p, bottom = (r.h - 1 - y) * stride + x * r.p;
            const int swapped = ch == 3 ? 3 : 2 - ch;
            ASSERT_EQ(out[0][1][top + ch], out[0][0][bottom + ch])
                << (r.vng ? "vng" : "ppg") << " rows reversed at " << x << "," << y;
            ASSERT_EQ(out[0][1][top + ch], out[1][1][top + swapped])
                << (r.vng ? "vng" : "ppg") << " channels exchanged at " << x << "," << y;
          }
    };
    if (r.bits == 8)
      run(uint8_t{});
    else
      run(uint16_t{});
  }
}

}  // namespace
}  // namespace kernels
