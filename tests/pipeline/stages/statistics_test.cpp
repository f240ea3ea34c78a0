// Statistics, histogram and AE mark steps: fractions under the lock, the host's histogram,
// blinking.
#include <gtest/gtest.h>

#include <numeric>

#include "kernels/reference/reference.h"
#include "pipeline/stages/statistics.h"
#include "tests/pipeline/pipeline_kit.h"

namespace stages {
namespace {

namespace testkit = kernels::testkit;

using testkit::Guarded;
namespace reference = kernels::reference;

TEST(StagesStatistics, UniformGreyLandsInOneBinOfEachArray) {
  struct Row {
    uint32_t grey, lumaBin, colourBin;
  };
  for (const Row r : {Row{100, 100, 100}, Row{128, 127, 128}}) {
    PLContext ctx;
    zxtest::prepareState(ctx, 8, 3, true, true);
    auto img = testkit::uniformImage<uint8_t>(3, 9, 7, {r.grey, r.grey, r.grey});
    StatsCounts counts;
    CollectStatsBgr(&ctx, 0, img.data(), 9, 7, 1, counts);
    EXPECT_FLOAT_EQ(ctx.statsF[0][r.lumaBin], 1.0f) << r.grey;
    for (int c = 1; c < 4; ++c) EXPECT_FLOAT_EQ(ctx.statsF[c][r.colourBin], 1.0f) << r.grey;
  }
}

TEST(StagesStatistics, PartsNormaliseToOneMonoFillsAllFourEmptyGivesZeros) {
  PLContext16 ctx;
  zxtest::prepareState(ctx, 10, 4, true, true);
  ctx.procWidth = 100, ctx.procHeight = 100;  // a region: the fractions follow what was counted
  const int32_t w = 17, h = 13;
  Guarded<uint16_t> img(reference::stride<uint16_t>(4, w) * h);
  testkit::Rng rng(2);
  for (size_t i = 0; i < img.size(); ++i) img[i] = uint16_t(rng.below(1100));
  StatsCounts whole, part;
  CollectStats16Bgr(&ctx, 0, img.data(), w, h, 1, whole);
  CollectStats16Bgr(&ctx, 0, img.data(), w, 5, 0, part);
  CollectStats16Bgr(&ctx, 0, img.data(), w, 5, 0, part);  // counts restart on every call
  EXPECT_EQ(std::accumulate(part[1].begin(), part[1].end(), 0u), uint32_t(w * 5));
  for (int c = 0; c < 4; ++c)
    EXPECT_NEAR(std::accumulate(ctx.statsF[c].begin(), ctx.statsF[c].end(), 0.0), 1.0, 1e-5) << c;
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

TEST(StagesHistogram, OneCallPerFrameWithTheDepthWordAndTheStatesByteOrder) {
  PLContext ctx;
  zxtest::prepareState(ctx, 8, 3, true, true);
  auto img = testkit::uniformImage<uint8_t>(3, 3, 2, {10, 20, 30});  // stored B 10, G 20, R 30
  Histogram h;
  ReportHistogramBgr(&ctx, img.data(), 3, 2, 0, keepHistogram, &h);
  EXPECT_EQ(h.bits, 8u);
  EXPECT_EQ(h.counts[30], 6u);
  ReportHistogramRgb(&ctx, img.data(), 3, 2, 0, keepHistogram, &h);
  EXPECT_EQ(h.counts[10], 6u);
  ReportHistogramBgr(&ctx, img.data(), 3, 2, 1, keepHistogram, &h);
  EXPECT_EQ(h.bits, 0x8008u);
  EXPECT_EQ(h.counts.size(), 256u);
  ReportHistogramBgr(&ctx, img.data(), 0, 2, 0, keepHistogram, &h);
  EXPECT_EQ(h.calls, 4);
  EXPECT_EQ(std::accumulate(h.counts.begin(), h.counts.end(), 0u), 0u);
  // A depth the counters cannot hold, or no hook: no call.
  ctx.bitDepth = 7;
  ReportHistogramBgr(&ctx, img.data(), 3, 2, 0, keepHistogram, &h);
  EXPECT_EQ(h.calls, 4);
  PLContext16 ctx16;
  zxtest::prepareState(ctx16, 12, 4, false, true);
  Guarded<uint16_t> img16(reference::stride<uint16_t>(4, 11) * 6);
  for (size_t i = 0; i < img16.size(); ++i) img16[i] = uint16_t(i * 37 % 4096);
  ReportHistogram16Rgb(&ctx16, img16.data(), 11, 6, 0, keepHistogram, &h);
  EXPECT_EQ(h.bits, 12u);
  EXPECT_EQ(h.counts, reference::histogram<uint16_t>(false, false, img16.data(), 11, 6, 4, 12));
}

TEST(StagesAeMark, BlinksAndMapsRowsFromTheBottom) {
  PLContext ctx;
  zxtest::prepareState(ctx, 8, 3, true, true);
  ctx.aeRectPx = {1, 0, 3, 1};  // columns 1, 2 of image row 0, stored as the last row
  ctx.aeMarkWindow = 1;
  auto img = testkit::uniformImage<uint8_t>(3, 4, 3, {10, 20, 30});
  const size_t last = 2 * reference::stride<uint8_t>(3, 4);
  for (uint32_t call = 1; call <= 9; ++call) {
    const uint8_t before = img[last + 3];
    MarkAeWindow(ctx, NextAeMark(ctx), img.data(), 4, 3);
    const bool drawn = call % 4 != 1;
    EXPECT_EQ(img[last + 3], drawn ? 255 - before : before) << call;
    EXPECT_EQ(img[last], 10) << call;  // column 0 is outside
    EXPECT_EQ(img[3], 10) << call;     // the top stored row is image row 2
  }
  PLContext16 ctx16;
  zxtest::prepareState(ctx16, 12, 3, true, true);
  ctx16.aeRectPx = {0, 0, 1, 1}, ctx16.aeMarkCount = 1, ctx16.aeMarkWindow = 1;
  uint16_t px[3] = {5000, 4000, 0};
  MarkAeWindow16(ctx16, NextAeMark(ctx16), px, 1, 1);
  EXPECT_EQ(px[0], 0);  // inverted within the state's depth
  EXPECT_EQ(px[1], 95);
  EXPECT_EQ(px[2], 4095);
}

}  // namespace
}  // namespace stages
