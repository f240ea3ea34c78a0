// Statistics, histogram and window inversion: bins, depth clamps, stripes and clipping.
#include <gtest/gtest.h>

#include "kernels/reference/reference.h"
#include "kernels/statistics.h"
#include "tests/kernels/kit.h"

namespace kernels {
namespace {

using testkit::Guarded;

template <typename S>
Guarded<S> random(uint8_t p, int32_t w, int32_t h, uint32_t below, uint64_t seed) {
  Guarded<S> img(reference::stride<S>(p, w) * h);
  testkit::Rng rng(seed);
  for (size_t i = 0; i < img.size(); ++i) img[i] = S(rng.below(below));
  return img;
}

const testkit::Luma& luma() {
  static const testkit::Luma l;
  return l;
}
LumaWeights weights() {
  return {luma().r.data(), luma().g.data(), luma().b.data()};
}

TEST(KernelsStatistics, HighDepthSamplesDropToEightBitsAndClamp) {
  for (uint32_t v : {4095u, 65535u})
    for (bool mono : {false, true}) {
      auto img = testkit::uniformImage<uint16_t>(3, 5, 3, {v, v, v});
      StatsCounts counts{};
      CountStats({3, 12, 1, 0}, mono, weights(), img.data(), 5, 3, counts);
      for (int c = 0; c < (mono ? 1 : 4); ++c)
        EXPECT_EQ(counts[c][255], 15u) << v << " array " << c;
    }
}

TEST(KernelsStatistics, StripesAddUpToTheReference) {
  const int32_t w = 17, h = 13;
  const auto img = random<uint16_t>(4, w, h, 1100, 2);
  const Layout l{4, 10, 1, 1};
  StatsCounts whole{}, sum{};
  CountStats(l, false, weights(), img.data(), w, h, whole);
  const size_t stride = reference::stride<uint16_t>(4, w);
  for (auto [first, rows] : {std::pair{0, 5}, std::pair{5, 1}, std::pair{6, h - 6}})
    CountStats(l, false, weights(), img.data() + first * stride, w, rows, sum);
  EXPECT_EQ(sum, whole);
  EXPECT_EQ(whole, reference::stats<uint16_t>(true, false, img.data(), w, h, 4, 10, luma().r.data(),
                                              luma().g.data(), luma().b.data()));
}

TEST(KernelsHistogram, LayoutByOrderAndDepth) {
  auto img = testkit::uniformImage<uint8_t>(3, 3, 2, {10, 20, 30});  // stored B 10, G 20, R 30
  std::vector<uint32_t> counts(3 * 256, 7);
  CountHistogram({3, 8, 1, 1}, false, img.data(), 3, 2, counts.data());
  EXPECT_EQ(counts[30], 6u);
  EXPECT_EQ(counts[256 + 20], 6u);
  EXPECT_EQ(counts[512 + 10], 6u);
  CountHistogram({3, 8, 1, 1}, true, img.data(), 3, 2, counts.data());
  EXPECT_EQ(counts[10], 6u);
  EXPECT_EQ(counts[30], 0u);
  CountHistogram({3, 8, 1, 1}, false, img.data(), 0, 2, counts.data());
  EXPECT_EQ(std::count(counts.begin(), counts.end(), 0u), 3 * 256);
}

TEST(KernelsHistogram, HighDepthClampsAndMatchesReference) {
  Guarded<uint16_t> img(reference::stride<uint16_t>(4, 11) * 6);
  testkit::Rng rng(4);
  for (size_t i = 0; i < img.size(); ++i) img[i] = uint16_t(rng.below(8) ? rng.below(4096) : 65535);
  for (bool mono : {false, true}) {
    std::vector<uint32_t> counts(size_t{3} << 16);
    CountHistogram({4, 12, 1, 0}, mono, img.data(), 11, 6, counts.data());
    counts.resize(mono ? 4096 : 3 * 4096);
    EXPECT_EQ(counts, reference::histogram<uint16_t>(false, mono, img.data(), 11, 6, 4, 12));
    EXPECT_GT(counts[4095], 0u);  // 65535 lands in the last bin
  }
}

TEST(KernelsInvertRect, ClipsToTheImageAndInvertsWithinTheDepth) {
  for (const ImageRect r :
       {ImageRect{-5, -5, 100, 100}, ImageRect{3, 2, 50, 3}, ImageRect{2, 2, 2, 9},
        ImageRect{0, 4, 9, 4}, ImageRect{9, 9, 20, 20}, ImageRect{1, 0, 3, 1}}) {
    auto img = random<uint16_t>(4, 5, 4, 5000, uint64_t(r.left + 10)), want = img;
    InvertRect({4, 12, 1, 0}, r, img.data(), 5, 4);
    reference::aeMark<uint16_t>(2, r.left, r.top, r.right, r.bottom, want.data(), 5, 4, 4, 12);
    EXPECT_TRUE(img == want) << r.left << "," << r.top;
    EXPECT_TRUE(img.guardsIntact());
    for (size_t i = 0; i < img.size(); ++i) ASSERT_LE(img[i], 5000);
  }
}

}  // namespace
}  // namespace kernels
