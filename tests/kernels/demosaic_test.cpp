// Demosaic: fast paths against the literal rules, the bilinear anchors, the method table, and
// the four-row mosaic conversion.
#include <gtest/gtest.h>

#include "kernels/demosaic.h"
#include "kernels/reference/reference.h"
#include "tests/kernels/kit.h"

namespace kernels {
namespace {

using testkit::Guarded;
using testkit::Pattern;

struct Case {
  int32_t w, h;
  uint32_t b;
  bool bgr, rowOrder;
  uint8_t p, bits;
};

std::string describe(const Case& c, Pattern k, Isa isa) {
  return std::to_string(c.w) + "x" + std::to_string(c.h) + " b" + std::to_string(c.b) +
         (c.bgr ? " bgr" : " rgb") + (c.rowOrder ? " top-down" : " bottom-up") + " p" +
         std::to_string(c.p) + " bits" + std::to_string(c.bits) + " pattern" +
         std::to_string(int(k)) + " " + testkit::isaName(isa);
}

template <typename S>
void bilinear(const Case& c, const uint8_t* site, const S* raw, S* out) {
  if constexpr (sizeof(S) == 1)
    (c.bgr ? DemosaicBilinear8Bgr : DemosaicBilinear8Rgb)(c.b, site, c.w, c.h, raw, out, c.bits,
                                                          c.p, c.rowOrder);
  else
    (c.bgr ? DemosaicBilinear16Bgr : DemosaicBilinear16Rgb)(c.b, site, c.w, c.h, raw, out, c.bits,
                                                            c.p, c.rowOrder);
}

template <typename S>
Guarded<S> run(const Case& c, const std::vector<S>& raw) {
  Guarded<S> out(reference::stride<S>(c.p, c.w) * c.h);
  bilinear(c, testkit::siteTable(c.bgr).data(), raw.data(), out.data());
  return out;
}

template <typename S>
void expectMatchesReference(const Case& c, Pattern kind, Isa isa, uint64_t seed) {
  const uint32_t max = sizeof(S) == 1 ? 255u : (65535u >> (16 - c.bits));
  const auto raw = testkit::rawFrame<S>(kind, c.w, c.h, max, seed);
  const auto site = testkit::siteTable(c.bgr);
  Guarded<S> want(reference::stride<S>(c.p, c.w) * c.h);
  reference::bilinear(c.bgr, c.b, site.data(), c.w, c.h, raw.data(), want.data(), c.bits, c.p,
                      c.rowOrder);
  const Guarded<S> got = run(c, raw);
  ASSERT_TRUE(got.guardsIntact()) << describe(c, kind, isa);
  ASSERT_TRUE(got == want) << describe(c, kind, isa);
}

// Every order, byte order, row order, p and depth on each instruction set, over odd sizes.
TEST(KernelsDemosaic, FastEqualsReferenceAcrossTheMatrix) {
  static constexpr int32_t kSizes[][2] = {{5, 5},  {6, 7},   {7, 9},   {9, 6},   {13, 11},
                                          {21, 8}, {33, 5},  {35, 10}, {36, 7},  {37, 6},
                                          {40, 9}, {53, 12}, {64, 6},  {66, 13}, {67, 67}};
  constexpr uint8_t kDepths[] = {8, 10, 12, 14, 16};
  uint64_t seed = 1;
  for (Isa isa : testkit::availableIsas()) {
    testkit::IsaScope scope(isa);
    for (uint8_t bits : kDepths)
      for (uint32_t b = 0; b < 4; ++b)
        for (int order = 0; order < 4; ++order)
          for (uint8_t p : {3, 4}) {
            const auto& size = kSizes[seed % std::size(kSizes)];
            const Case c{size[0], size[1], b, (order & 1) != 0, (order & 2) != 0, p, bits};
            const Pattern kind = testkit::kPatterns[seed % std::size(testkit::kPatterns)];
            if (bits == 8)
              expectMatchesReference<uint8_t>(c, kind, isa, seed++);
            else
              expectMatchesReference<uint16_t>(c, kind, isa, seed++);
          }
  }
}

// Widths 5..67 walk the vector blocks' ends; one frame per width and instruction set.
TEST(KernelsDemosaic, EveryWidthMatchesReference) {
  for (Isa isa : testkit::availableIsas()) {
    testkit::IsaScope scope(isa);
    for (int32_t w = 5; w <= 67; ++w) {
      expectMatchesReference<uint8_t>(
          {w, 6 + w % 3, uint32_t(w % 4), (w & 1) != 0, (w & 2) != 0, uint8_t(3 + (w / 4) % 2), 8},
          Pattern::Random, isa, 100 + w);
      expectMatchesReference<uint16_t>({w, 5 + w % 4, uint32_t((w + 1) % 4), (w & 2) != 0,
                                        (w & 1) != 0, uint8_t(3 + (w / 8) % 2), 12},
                                       Pattern::AboveDepth, isa, 200 + w);
    }
  }
}

TEST(KernelsDemosaic, LargeFrameMatchesReference) {
  for (Isa isa : testkit::availableIsas()) {
    testkit::IsaScope scope(isa);
    expectMatchesReference<uint8_t>({1283, 967, 1, true, false, 3, 8}, Pattern::Random, isa, 7);
    expectMatchesReference<uint16_t>({1283, 967, 2, false, true, 3, 12}, Pattern::Random, isa, 8);
  }
}

// R 200, green 100 on red rows and 50 on blue rows, B 20.
template <typename S>
std::vector<S> perColourFrame(uint32_t b, int32_t w, int32_t h, uint32_t gRed, uint32_t gBlue) {
  std::vector<S> f(size_t(w) * h);
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* row = kBayerColour[b][y & 1];
    const bool redRow = row[0] == 0 || row[1] == 0;
    for (int32_t x = 0; x < w; ++x) {
      const uint8_t c = row[x & 1];
      f[size_t(y) * w + x] = S(c == 0 ? 200 : c == 2 ? 20 : (redRow ? gRed : gBlue));
    }
  }
  return f;
}

// Green at a green site is (Z + NW) >> 1: a rounding mean would give 2 here, not 1.
TEST(KernelsDemosaic, GreenMeanRoundsDown) {
  for (Isa isa : testkit::availableIsas()) {
    testkit::IsaScope scope(isa);
    const Case c{40, 8, 1, false, true, 3, 8};
    const auto out = run(c, perColourFrame<uint8_t>(1, c.w, c.h, 1, 2));
    const size_t stride = reference::stride<uint8_t>(3, c.w);
    for (int32_t y = 2; y < c.h - 2; ++y)
      for (int32_t x = 2; x < c.w - 2; ++x)
        EXPECT_EQ(out[y * stride + x * 3 + 1], 1) << x << "," << y;
  }
}

// Under 4 in either direction nothing is written; 4 x 4 is border only; 5 x 5 adds one interior
// pixel; the 15-byte rows of a 5-pixel frame keep their pad byte.
TEST(KernelsDemosaic, SmallFramesTouchOnlyWhatTheyOwn) {
  const auto site = testkit::siteTable(false);
  for (auto [n, interior] : {std::pair{3, 0}, std::pair{4, 0}, std::pair{5, 1}})
    for (auto [w, h] : {std::pair{n, n}, std::pair{n, 10}, std::pair{10, n}}) {
      const auto raw = testkit::rawFrame<uint8_t>(Pattern::Random, w, h, 255, 3);
      Guarded<uint8_t> out(reference::stride<uint8_t>(3, w) * h), want = out, border = out;
      DemosaicBilinear8Rgb(2, site.data(), w, h, raw.data(), out.data(), 8, 3, 1);
      reference::bilinear(false, 2, site.data(), w, h, raw.data(), want.data(), 8, 3, 1);
      DemosaicBorder8(2, site.data(), raw.data(), border.data(), w, h, 8, 3, 1);
      EXPECT_TRUE(out == want) << w << "x" << h;
      if (w == h) {
        EXPECT_EQ(out == border, interior == 0) << n;
      }
    }
}

// The border fill alone writes nothing on a frame under 4 pixels in either direction.
TEST(KernelsDemosaic, BorderFillLeavesFramesUnderFourAlone) {
  const std::pair<int32_t, int32_t> sizes[] = {{3, 3}, {3, 10}, {10, 3}, {2, 2}, {1, 9}, {9, 1}};
  for (const auto& [w, h] : sizes)
    for (const bool bgr : {false, true}) {
      const auto site = testkit::siteTable(bgr);
      const auto raw8 = testkit::rawFrame<uint8_t>(Pattern::Random, w, h, 255, 5);
      Guarded<uint8_t> out8(reference::stride<uint8_t>(3, w) * h);
      const Guarded<uint8_t> before8 = out8;
      DemosaicBorder8(1, site.data(), raw8.data(), out8.data(), w, h, 8, 3, 1);
      EXPECT_TRUE(out8 == before8) << w << "x" << h << " bgr " << bgr;
      const auto raw16 = testkit::rawFrame<uint16_t>(Pattern::Random, w, h, 4095, 5);
      Guarded<uint16_t> out16(reference::stride<uint16_t>(4, w) * h);
      const Guarded<uint16_t> before16 = out16;
      DemosaicBorder16(2, site.data(), raw16.data(), out16.data(), w, h, 12, 4, 0);
      EXPECT_TRUE(out16 == before16) << w << "x" << h << " bgr " << bgr << ", 16-bit";
    }
}

TEST(KernelsDemosaic, BorderClampsMeansAboveTheDepth) {
  // 12-bit frame whose red and blue samples are 5000: a green border site gets 4095 for both.
  std::vector<uint16_t> raw(8 * 8);
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 8; ++x)
      raw[y * 8 + x] = kBayerColour[1][y & 1][x & 1] == 1 ? 1000 : 5000;
  Guarded<uint16_t> out(reference::stride<uint16_t>(3, 8) * 8);
  DemosaicBilinear16Rgb(1, testkit::siteTable(false).data(), 8, 8, raw.data(), out.data(), 12, 3,
                        1);
  const uint16_t* px = out.data() + 1 * 3;  // (1, 0): a green site of order 1
  EXPECT_EQ(px[0], 4095);
  EXPECT_EQ(px[1], 1000);
  EXPECT_EQ(px[2], 4095);
}

TEST(KernelsDemosaic, ForcedSetNeverExceedsTheProcessor) {
  for (Isa isa : {Isa::Scalar, Isa::Sse2, Isa::Avx2}) {
    testkit::IsaScope scope(isa);
    EXPECT_EQ(ActiveIsa(), std::min(isa, DetectedIsa()));
  }
  EXPECT_EQ(ActiveIsa(), DetectedIsa());
}

TEST(KernelsDemosaic, FourCCNamesThePatternTheKernelsRead) {
  const char* names[] = {"GRBG", "RGGB", "BGGR", "GBRG"};
  for (uint32_t b = 0; b < 4; ++b) {
    const uint32_t code = BayerFourCC(b);
    EXPECT_EQ((std::string{char(code), char(code >> 8), char(code >> 16), char(code >> 24)}),
              names[b]);
  }
  EXPECT_EQ(BayerFourCC(4), 0u);
}

// Codes 1 and 2 reach VNG and PPG; every other code is bilinear in the layout's byte order.
TEST(KernelsDemosaic, MethodCodesReachTheirKernels) {
  using Kernel = void (*)(uint32_t, const uint8_t*, int32_t, int32_t, const uint16_t*, uint16_t*,
                          uint8_t, uint8_t, uint8_t);
  const std::pair<uint32_t, Kernel> cases[] = {
      {0, DemosaicBilinear16Bgr}, {1, DemosaicVng16Bgr},      {2, DemosaicPpg16Bgr},
      {3, DemosaicBilinear16Bgr}, {4, DemosaicBilinear16Bgr}, {0xFFFFFFFF, DemosaicBilinear16Bgr}};
  const auto site = testkit::siteTable(true);
  const auto raw = testkit::rawFrame<uint16_t>(Pattern::Random, 23, 9, 16383, 9);
  for (const auto& [method, kernel] : cases) {
    Guarded<uint16_t> want(reference::stride<uint16_t>(4, 23) * 9), out = want;
    kernel(2, site.data(), 23, 9, raw.data(), want.data(), 14, 4, 0);
    DemosaicByMethod({4, 14, 0, 1}, method, 2, site.data(), 23, 9, raw.data(), out.data());
    EXPECT_TRUE(out == want) << method;
  }
}

// Bands of raw rows, demosaiced last band first, give the whole-frame bytes for bilinear, VNG and
// PPG: each band writes its own rows only and reads what lies next to it, at the border rows too.
TEST(KernelsDemosaic, RowBandsInAnyOrderMatchTheWholeFrame) {
  struct BandCase {
    int32_t w, h;
    uint32_t b;
    kernels::Layout l;
    std::vector<int32_t> cuts;  // band starts after 0
  };
  const BandCase cases[] = {
      {5, 5, 0, {3, 8, 1, 1}, {1, 2, 3, 4}},            // one row each: border and interior
      {37, 9, 1, {3, 8, 0, 1}, {3, 6}},                 // bottom-up rows
      {66, 13, 2, {4, 8, 1, 0}, {2, 11}},               // cuts at the border rows' ends
      {67, 11, 3, {3, 12, 0, 0}, {1, 5, 10}},           // 16-bit, odd cuts
      {33, 7, 1, {4, 16, 1, 1}, {2, 3, 4, 5}},          // 16-bit, every interior row alone
      {1283, 31, 2, {3, 8, 1, 1}, {7, 8, 15, 16, 23}},  // wide rows past the vector blocks
  };
  for (Isa isa : testkit::availableIsas()) {
    testkit::IsaScope scope(isa);
    for (const BandCase& c : cases) {
      const std::string name = std::to_string(c.w) + "x" + std::to_string(c.h) + " bits " +
                               std::to_string(c.l.bits) + " " + testkit::isaName(isa);
      const auto site = testkit::siteTable(c.l.byteOrder != 0);
      std::vector<int32_t> starts{0};
      starts.insert(starts.end(), c.cuts.begin(), c.cuts.end());
      auto compare = [&](auto sample) {
        using S = decltype(sample);
        const auto raw =
            testkit::rawFrame<S>(Pattern::Random, c.w, c.h, (1u << c.l.bits) - 1, c.b + 40);
        const size_t stride = reference::stride<S>(c.l.samplesPerPixel, c.w);
        for (uint32_t method : {0u, 1u, 2u}) {
          Guarded<S> want(stride * c.h), got = want;
          DemosaicByMethod(c.l, method, c.b, site.data(), c.w, c.h, raw.data(), want.data());
          for (size_t i = starts.size(); i-- > 0;) {
            const int32_t end = i + 1 < starts.size() ? starts[i + 1] : c.h;
            DemosaicRowsByMethod(c.l, method, c.b, site.data(), c.w, c.h, starts[i], end,
                                 raw.data(), got.data());
            // Alone on a fresh buffer the band changes its own output rows only.
            Guarded<S> alone(stride * c.h);
            const Guarded<S> fresh = alone;
            DemosaicRowsByMethod(c.l, method, c.b, site.data(), c.w, c.h, starts[i], end,
                                 raw.data(), alone.data());
            for (int32_t y = 0; y < c.h; ++y) {
              if (y >= starts[i] && y < end) continue;
              const size_t row = size_t(outputRow(y, c.h, c.l.rowOrder != 0)) * stride;
              EXPECT_TRUE(
                  std::equal(alone.data() + row, alone.data() + row + stride, fresh.data() + row))
                  << name << " method " << method << " band " << starts[i] << " wrote row " << y;
            }
          }
          EXPECT_TRUE(got.guardsIntact()) << name << " method " << method;
          EXPECT_TRUE(got == want) << name << " method " << method;
        }
      };
      if (c.l.bits == 8)
        compare(uint8_t{});
      else
        compare(uint16_t{});
    }
  }
}

// Rows 0..3 hold 10; row 4 has 13 at x = 2, row 5 at x = 1.
TEST(KernelsQuickDemosaic, HandCaseSwapsRowsFlipsSignsAndFloorsHalves) {
  std::vector<uint8_t> raw(36, 10), dst(36);
  raw[4 * 6 + 2] = 13;
  raw[5 * 6 + 1] = 13;
  QuickDemosaic8(raw.data(), dst.data(), 6, 6);
  auto d = [&](int x, int y) { return int(dst[y * 6 + x]); };
  EXPECT_EQ(d(2, 2), 8);   // Va = 10 + (-3 >> 1) = 10 - 2
  EXPECT_EQ(d(1, 3), 9);   // y mod 4 = 3 swaps the rows; odd x flips: Vb = 10 - (3 >> 1)
  EXPECT_EQ(d(2, 3), 19);  // Vg = 2 x 10 - 1
  EXPECT_EQ(d(0, 2), d(2, 2));
  EXPECT_EQ(d(5, 3), d(3, 3));
  for (int x = 0; x < 6; ++x) {
    EXPECT_EQ(d(x, 0), d(x, 2));
    EXPECT_EQ(d(x, 1), d(x, 3));
    EXPECT_EQ(d(x, 4), d(x, 2));
    EXPECT_EQ(d(x, 5), d(x, 3));
  }
  std::vector<uint8_t> want(36);
  reference::quickDemosaic<uint8_t>(raw.data(), want.data(), 6, 6, 255);
  EXPECT_EQ(dst, want);
}

// Random samples reach past half the limit, so green sums clamp at 255 and 4095.
TEST(KernelsQuickDemosaic, MatchesReferenceAndCopiesSmallFrames) {
  for (auto [w, h] :
       {std::pair{3, 9}, std::pair{9, 5}, std::pair{4, 6}, std::pair{17, 23}, std::pair{64, 31}}) {
    const auto raw = testkit::rawFrame<uint16_t>(Pattern::Random, w, h, 4095, w * h);
    std::vector<uint16_t> got(raw.size()), want(raw.size());
    QuickDemosaic16(raw.data(), got.data(), w, h);
    reference::quickDemosaic<uint16_t>(raw.data(), want.data(), w, h, 4095);
    EXPECT_EQ(got, want) << w << "x" << h;
    if (w < 4 || h < 6) {
      EXPECT_EQ(got, raw);
    }
    const auto raw8 = testkit::rawFrame<uint8_t>(Pattern::Random, w, h, 255, w + h);
    std::vector<uint8_t> got8(raw8.size()), want8(raw8.size());
    QuickDemosaic8(raw8.data(), got8.data(), w, h);
    reference::quickDemosaic<uint8_t>(raw8.data(), want8.data(), w, h, 255);
    EXPECT_EQ(got8, want8) << w << "x" << h;
  }
}

}  // namespace
}  // namespace kernels
