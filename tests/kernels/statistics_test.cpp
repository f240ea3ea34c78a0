// Statistics, histogram and AE mark: bins, normalisation, depth clamps, blinking and clipping.
#include <gtest/gtest.h>

#include <numeric>

#include "kernels/reference/reference.h"
#include "kernels/statistics.h"
#include "tests/kernels/kit.h"

namespace kernels {
namespace {

using testkit::Guarded;

template <typename S>
Guarded<S> uniform(uint8_t p, int32_t w, int32_t h, std::array<uint32_t, 3> px) {
  Guarded<S> img(reference::stride<S>(p, w) * h);
  const size_t stride = reference::stride<S>(p, w);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      for (int c = 0; c < 3 && c < p; ++c) img[y * stride + x * p + c] = S(px[c]);
  return img;
}

TEST(KernelsStatistics, UniformGreyLandsInOneBinOfEachArray) {
  struct Row {
    uint32_t grey, lumaBin, colourBin;
  };
  for (const Row r : {Row{100, 100, 100}, Row{128, 127, 128}}) {
    PLContext ctx;
    testkit::prepareState(ctx, 8, 3, true, true);
    auto img = uniform<uint8_t>(3, 9, 7, {r.grey, r.grey, r.grey});
    StatsCounts counts;
    CollectStatsBgr(&ctx, 0, img.data(), 9, 7, 1, counts);
    EXPECT_FLOAT_EQ(ctx.statsF[0][r.lumaBin], 1.0f) << r.grey;
    for (int c = 1; c < 4; ++c) EXPECT_FLOAT_EQ(ctx.statsF[c][r.colourBin], 1.0f) << r.grey;
  }
}

TEST(KernelsStatistics, HighDepthSamplesDropToEightBitsAndClamp) {
  PLContext16 ctx;
  testkit::prepareState(ctx, 12, 3, false, true);
  for (uint32_t v : {4095u, 65535u}) {
    auto img = uniform<uint16_t>(3, 5, 3, {v, v, v});
    StatsCounts counts;
    CollectStats16Rgb(&ctx, 0, img.data(), 5, 3, 0, counts);
    for (int c = 0; c < 4; ++c) EXPECT_EQ(counts[c][255], 15u) << v << " array " << c;
    CollectStats16Rgb(&ctx, 1, img.data(), 5, 3, 0, counts);
    EXPECT_EQ(counts[0][255], 15u);
  }
}

TEST(KernelsStatistics, StripesAddUpAndPartsNormaliseToOne) {
  PLContext16 ctx;
  testkit::prepareState(ctx, 10, 4, true, true);
  ctx.procWidth = 100, ctx.procHeight = 100;  // a region: the fractions follow what was counted
  const int32_t w = 17, h = 13;
  Guarded<uint16_t> img(reference::stride<uint16_t>(4, w) * h);
  testkit::Rng rng(2);
  for (size_t i = 0; i < img.size(); ++i) img[i] = uint16_t(rng.below(1100));
  StatsCounts whole, part, sum{};
  CollectStats16Bgr(&ctx, 0, img.data(), w, h, 1, whole);
  const size_t stride = reference::stride<uint16_t>(4, w);
  for (int32_t first : {0, 5, 6}) {
    const int32_t rows = first == 0 ? 5 : (first == 5 ? 1 : h - 6);
    CollectStats16Bgr(&ctx, 0, img.data() + first * stride, w, rows, 0, part);
    for (int c = 0; c < 4; ++c)
      for (int i = 0; i < 256; ++i) sum[c][i] += part[c][i];
  }
  EXPECT_EQ(sum, whole);
  const auto want = reference::stats<uint16_t>(
      true, false, img.data(), w, h, 4, 10, ctx.lumaR.data(), ctx.lumaG.data(), ctx.lumaB.data());
  EXPECT_EQ(whole, want);
  for (int c = 0; c < 4; ++c)
    EXPECT_NEAR(std::accumulate(ctx.statsF[c].begin(), ctx.statsF[c].end(), 0.0), 1.0, 1e-5) << c;
  // Mono: the luma fractions go to all four arrays. Empty: zeros.
  CollectStats16Bgr(&ctx, 1, img.data(), w, h, 1, whole);
  for (int c = 1; c < 4; ++c) EXPECT_EQ(ctx.statsF[c], ctx.statsF[0]);
  CollectStats16Bgr(&ctx, 0, img.data(), 0, h, 1, whole);
  for (int c = 0; c < 4; ++c) EXPECT_EQ(ctx.statsF[c], (std::array<float, 256>{}));
}

struct Histogram {
  std::vector<uint32_t> counts;
  uint32_t bits = 0;
  int calls = 0;
};

void keepHistogram(const uint32_t* counts, uint32_t bits, void* context) {
  auto* h = static_cast<Histogram*>(context);
  const uint32_t n = (1u << (bits & 0xFF)) * ((bits & 0x8000) ? 1 : 3);
  h->counts.assign(counts, counts + n);
  h->bits = bits;
  ++h->calls;
}

TEST(KernelsHistogram, LayoutByOrderAndDepth) {
  PLContext ctx;
  testkit::prepareState(ctx, 8, 3, true, true);
  auto img = uniform<uint8_t>(3, 3, 2, {10, 20, 30});  // stored B 10, G 20, R 30
  Histogram h;
  ReportHistogramBgr(&ctx, img.data(), 3, 2, 0, keepHistogram, &h);
  EXPECT_EQ(h.bits, 8u);
  EXPECT_EQ(h.counts[30], 6u);
  EXPECT_EQ(h.counts[256 + 20], 6u);
  EXPECT_EQ(h.counts[512 + 10], 6u);
  ReportHistogramBgr(&ctx, img.data(), 3, 2, 1, keepHistogram, &h);
  EXPECT_EQ(h.bits, 0x8008u);
  EXPECT_EQ(h.counts.size(), 256u);
  EXPECT_EQ(h.counts[10], 6u);
  ReportHistogramBgr(&ctx, img.data(), 0, 2, 0, keepHistogram, &h);
  EXPECT_EQ(h.calls, 3);
  EXPECT_EQ(std::accumulate(h.counts.begin(), h.counts.end(), 0u), 0u);
}

TEST(KernelsHistogram, HighDepthClampsAndMatchesReference) {
  PLContext16 ctx;
  testkit::prepareState(ctx, 12, 4, false, true);
  Guarded<uint16_t> img(reference::stride<uint16_t>(4, 11) * 6);
  testkit::Rng rng(4);
  for (size_t i = 0; i < img.size(); ++i) img[i] = uint16_t(rng.below(8) ? rng.below(4096) : 65535);
  for (uint8_t mono : {0, 1}) {
    Histogram h;
    ReportHistogram16Rgb(&ctx, img.data(), 11, 6, mono, keepHistogram, &h);
    EXPECT_EQ(h.counts, reference::histogram<uint16_t>(false, mono, img.data(), 11, 6, 4, 12));
    EXPECT_GT(h.counts[4095], 0u);  // 65535 lands in the last bin
  }
}

TEST(KernelsAeMark, BlinksAndMapsRowsFromTheBottom) {
  PLContext ctx;
  testkit::prepareState(ctx, 8, 3, true, true);
  ctx.aeRectPx = {1, 0, 3, 1};  // columns 1, 2 of image row 0, stored as the last row
  auto img = uniform<uint8_t>(3, 4, 3, {10, 20, 30});
  const size_t last = 2 * reference::stride<uint8_t>(3, 4);
  for (uint32_t call = 1; call <= 9; ++call) {
    const uint8_t before = img[last + 3];
    MarkAeWindow(&ctx, img.data(), 4, 3);
    const bool drawn = call % 4 != 1;
    EXPECT_EQ(img[last + 3], drawn ? 255 - before : before) << call;
    EXPECT_EQ(img[last], 10) << call;  // column 0 is outside
    EXPECT_EQ(img[3], 10) << call;     // the top stored row is image row 2
  }
}

TEST(KernelsAeMark, ClipsToTheImageAndInvertsWithinTheDepth) {
  struct Row {
    PixelRect r;
  };
  for (const Row row : {Row{{-5, -5, 100, 100}}, Row{{3, 2, 50, 3}}, Row{{2, 2, 2, 9}},
                        Row{{0, 4, 9, 4}}, Row{{9, 9, 20, 20}}}) {
    PLContext16 ctx;
    testkit::prepareState(ctx, 12, 4, false, true);
    ctx.aeRectPx = row.r;
    ctx.aeMarkCount = 1;  // the next call draws
    Guarded<uint16_t> img(reference::stride<uint16_t>(4, 5) * 4);
    testkit::Rng rng(row.r.left + 10);
    for (size_t i = 0; i < img.size(); ++i) img[i] = uint16_t(rng.below(5000));
    Guarded<uint16_t> want = img;
    MarkAeWindow16(&ctx, img.data(), 5, 4);
    reference::aeMark<uint16_t>(2, row.r.left, row.r.top, row.r.right, row.r.bottom, want.data(), 5,
                                4, 4, 12);
    EXPECT_TRUE(img == want) << row.r.left << "," << row.r.top;
    EXPECT_TRUE(img.guardsIntact());
    for (size_t i = 0; i < img.size(); ++i) ASSERT_LE(img[i], 5000);
  }
}

}  // namespace
}  // namespace kernels
