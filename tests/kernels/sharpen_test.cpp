// Unsharp mask: the fast step against the literal rules at every radius, depth and layout, and
// the anchors of the weights and the arithmetic.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numeric>

#include "kernels/reference/reference.h"
#include "kernels/sharpen.h"
#include "tests/kernels/kit.h"

namespace kernels {
namespace {

using testkit::Guarded;
using testkit::Pattern;

struct Case {
  int32_t w, h;
  uint8_t p, bits;
  int32_t amount, radius, threshold;
};

std::string describe(const Case& c) {
  return std::to_string(c.w) + "x" + std::to_string(c.h) + " p" + std::to_string(c.p) + " bits" +
         std::to_string(c.bits) + " amount" + std::to_string(c.amount) + " radius" +
         std::to_string(c.radius) + " threshold" + std::to_string(c.threshold);
}

template <typename S>
bool sharpen(SharpenScratch<S>& s, S* f, const Case& c) {
  if constexpr (sizeof(S) == 1)
    return Sharpen(s, f, c.w, c.h, c.p, c.bits, c.amount, c.radius, c.threshold);
  else
    return Sharpen16(s, f, c.w, c.h, c.p, c.bits, c.amount, c.radius, c.threshold);
}

// A frame of padded rows from a raw pattern, padding left at the marker.
template <typename S>
Guarded<S> frameOf(const Case& c, Pattern kind, uint64_t seed) {
  const uint32_t max = sizeof(S) == 1 ? 255u : (65535u >> (16 - c.bits));
  const size_t st = reference::stride<S>(c.p, c.w);
  const auto raw = testkit::rawFrame<S>(kind, c.w * c.p, c.h, max, seed);
  Guarded<S> f(st * c.h);
  for (int32_t y = 0; y < c.h; ++y)
    for (int32_t i = 0; i < c.w * c.p; ++i) f[y * st + i] = raw[size_t(y) * c.w * c.p + i];
  return f;
}

template <typename S>
void expectMatchesReference(const Case& c, Pattern kind, uint64_t seed) {
  Guarded<S> want = frameOf<S>(c, kind, seed);
  Guarded<S> start = want;
  double k[kMaxGaussianTaps];
  BuildGaussianKernel(k, 2 * c.radius + 1);
  reference::unsharp<S>(k, 2 * c.radius + 1, want.data(), c.w, c.h, c.p, c.bits, c.amount,
                        c.threshold);
  for (Isa isa : testkit::availableIsas()) {
    testkit::IsaScope scope(isa);
    SharpenScratch<S> s;
    ASSERT_TRUE(s.reserve(start.size() + 100));
    for (auto* v : {&s.copy, &s.blurred, &s.temp}) std::fill(v->begin(), v->end(), S(0x3C5A));
    Guarded<S> got = start;
    ASSERT_TRUE(sharpen(s, got.data(), c));
    ASSERT_TRUE(got.guardsIntact()) << describe(c) << " " << testkit::isaName(isa);
    ASSERT_TRUE(got == want) << describe(c) << " pattern" << int(kind) << " "
                             << testkit::isaName(isa);
  }
}

// Every radius, p 1/3/4, every depth, odd sizes (5 x N, N x 5, narrower than the kernel).
TEST(KernelsSharpen, MatchReferenceAcrossTheMatrix) {
  static constexpr int32_t kSizes[][2] = {{5, 5},  {5, 19}, {19, 5}, {1, 7},   {7, 1},  {13, 11},
                                          {33, 9}, {6, 23}, {41, 7}, {67, 13}, {3, 30}, {64, 6}};
  constexpr uint8_t kDepths[] = {8, 10, 12, 14, 16};
  uint64_t seed = 1;
  for (int32_t radius = 1; radius <= kMaxSharpenRadius; ++radius)
    for (uint8_t bits : kDepths)
      for (uint8_t p : {1, 3, 4}) {
        const auto& size = kSizes[seed % std::size(kSizes)];
        const Pattern kind = testkit::kPatterns[seed % 5];  // within the depth
        const Case c{size[0],
                     size[1],
                     p,
                     bits,
                     int32_t(50 + seed * 37 % 450),
                     radius,
                     int32_t(seed % 3 == 0 ? 0 : seed % 9)};
        if (bits == 8)
          expectMatchesReference<uint8_t>(c, kind, seed++);
        else
          expectMatchesReference<uint16_t>(c, kind, seed++);
      }
}

TEST(KernelsSharpen, LargeFramesMatchReference) {
  expectMatchesReference<uint8_t>({1283, 967, 3, 8, 150, 2, 4}, Pattern::Random, 7);
  expectMatchesReference<uint8_t>({1283, 967, 4, 8, 150, 10, 4}, Pattern::Gradient, 8);
  expectMatchesReference<uint16_t>({257, 193, 3, 12, 300, 5, 10}, Pattern::Spikes, 9);
  expectMatchesReference<uint16_t>({131, 67, 1, 16, 500, 3, 0}, Pattern::Random, 10);
}

// Amounts past the vector body's range and past 32-bit products: the scalar finish widens, as
// the reference does, and every instruction set agrees.
TEST(KernelsSharpen, ExtremeAmountsMatchReference) {
  constexpr int32_t kAmounts[] = {1, 99, 511, 32767, 32768, 1000000, INT32_MAX};
  uint64_t seed = 20;
  for (int32_t amount : kAmounts) {
    expectMatchesReference<uint16_t>({37, 9, 4, 16, amount, 1, 0}, Pattern::Random, seed++);
    expectMatchesReference<uint8_t>({29, 7, 3, 8, amount, 2, 1}, Pattern::Spikes, seed++);
  }
}

// Two samples a pixel hold no colour triple: the frame is left as it is, nothing written past it.
TEST(KernelsSharpen, TwoSamplePixelsAreLeftAlone) {
  Guarded<uint8_t> f = frameOf<uint8_t>({21, 6, 2, 8, 150, 2, 0}, Pattern::Random, 5);
  const Guarded<uint8_t> before = f;
  SharpenScratch<uint8_t> s;
  ASSERT_TRUE(s.reserve(f.size() * 2));
  EXPECT_TRUE(Sharpen(s, f.data(), 21, 6, 2, 8, 150, 2, 0));
  EXPECT_TRUE(f.guardsIntact());
  EXPECT_TRUE(f == before);
}

// The row [0, 0, 0, 100, 100, 100] at radius 1, threshold 0: the blur is [0, 0, 25, 75, 100,
// 100], so 100 gets 125 at amount 100 and 112 at 50; the dark side clamps to 0.
TEST(KernelsSharpen, StepEdgeAnchors) {
  struct Anchor {
    int32_t amount;
    uint8_t want[6];
  };
  const Anchor anchors[] = {{100, {0, 0, 0, 125, 100, 100}}, {50, {0, 0, 0, 112, 100, 100}}};
  for (const Anchor& a : anchors) {
    std::vector<uint8_t> row = {0, 0, 0, 100, 100, 100, 0, 0};  // p 1: 8-byte rows
    SharpenScratch<uint8_t> s;
    ASSERT_TRUE(s.reserve(8));
    ASSERT_TRUE(Sharpen(s, row.data(), 6, 1, 1, 8, a.amount, 1, 0));
    for (int i = 0; i < 6; ++i) EXPECT_EQ(row[i], a.want[i]) << a.amount << " at " << i;
  }
}

// Uniform frames stay uniform at every radius up to the edges; threshold 255 changes no 8-bit
// sample; the fourth sample is kept; bright and dark results clamp.
TEST(KernelsSharpen, FramesThatMustNotChange) {
  for (int32_t radius = 1; radius <= kMaxSharpenRadius; ++radius) {
    Guarded<uint16_t> f = testkit::uniformImage<uint16_t>(4, 9, 7, {4000, 1, 4095});
    const Guarded<uint16_t> before = f;
    SharpenScratch<uint16_t> s;
    ASSERT_TRUE(s.reserve(f.size()));
    ASSERT_TRUE(Sharpen16(s, f.data(), 9, 7, 4, 12, 500, radius, 0));
    EXPECT_TRUE(f == before) << radius;
  }
  const Case c{23, 17, 4, 8, 500, 2, 255};
  Guarded<uint8_t> f = frameOf<uint8_t>(c, Pattern::Checker, 3);
  const Guarded<uint8_t> before = f;
  SharpenScratch<uint8_t> s;
  ASSERT_TRUE(s.reserve(f.size()));
  ASSERT_TRUE(sharpen(s, f.data(), c));
  EXPECT_TRUE(f == before);
  ASSERT_TRUE(sharpen(s, f.data(), Case{23, 17, 4, 8, 500, 2, 0}));
  const size_t st = reference::stride<uint8_t>(4, 23);
  bool clamped = false;
  for (int32_t y = 0; y < 17; ++y)
    for (int32_t x = 0; x < 23; ++x) {
      EXPECT_EQ(f[y * st + x * 4 + 3], before[y * st + x * 4 + 3]);
      clamped |= f[y * st + x * 4] == 255 && before[y * st + x * 4] == 255;
    }
  EXPECT_TRUE(clamped);
}

// Amount 0 touches nothing and needs no scratch; scratch without room refuses and leaves the
// frame; sizes past the limit are refused.
TEST(KernelsSharpen, RefusalsLeaveTheFrame) {
  Guarded<uint8_t> f = frameOf<uint8_t>({20, 10, 3, 8, 0, 2, 0}, Pattern::Random, 4);
  const Guarded<uint8_t> before = f;
  SharpenScratch<uint8_t> none;
  EXPECT_TRUE(Sharpen(none, f.data(), 20, 10, 3, 8, 0, 2, 0));
  EXPECT_EQ(none.samples(), 0u);
  EXPECT_FALSE(Sharpen(none, f.data(), 20, 10, 3, 8, 100, 2, 0));
  EXPECT_TRUE(f == before);
  EXPECT_TRUE(Sharpen(none, f.data(), 20, 10, 3, 8, 100, 11, 0));  // no such radius: unchanged
  EXPECT_TRUE(f == before);
  EXPECT_FALSE(none.reserve(uint64_t{1} << 40));
  EXPECT_EQ(none.samples(), 0u);
}

TEST(KernelsSharpen, GaussianWeights) {
  double k[kMaxGaussianTaps];
  BuildGaussianKernel(k, 5);
  const double five[5] = {1 / 16.0, 4 / 16.0, 6 / 16.0, 4 / 16.0, 1 / 16.0};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(k[i], five[i]);
  BuildGaussianKernel(k, 9);
  // sigma 1.7: the weight two from the centre over the centre's is exp(-4 / 5.78).
  EXPECT_NEAR(k[2] / k[4], std::exp(-4.0 / (2 * 1.7 * 1.7)), 1e-15);
  EXPECT_NEAR(std::accumulate(k, k + 9, 0.0), 1.0, 1e-15);
  for (int32_t n = 9; n <= kMaxGaussianTaps; n += 2) {
    const double sigma = ((n - 1) * 0.5 - 1) * 0.3 + 0.8;
    for (int32_t d = 0; d <= n / 2; ++d) {
      const double want = std::exp(-(double(d) * d) / (2.0 * sigma * sigma));
      const double got = GaussianExpConstant(n, d);
      EXPECT_LE(std::fabs(got - want), std::nextafter(want, 2.0) - want) << n << " " << d;
    }
  }
}

}  // namespace
}  // namespace kernels
