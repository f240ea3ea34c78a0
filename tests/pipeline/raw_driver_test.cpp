// The raw colour frame driver: identical bytes for any worker count, the order of its steps,
// the working buffer, the roi's Bayer phase, statistics and the 16-bit output.
#include <gtest/gtest.h>

#include <functional>
#include <numeric>
#include <set>

#include "kernels/demosaic.h"
#include "kernels/output.h"
#include "kernels/raw_steps.h"
#include "pipeline/pl_raw_driver.h"
#include "pipeline/stages/layout.h"
#include "pipeline_kit.h"

namespace zxtest {
namespace {

template <typename S>
void process(PLContextT<S>& c, std::vector<S>& raw, void* out, const SensorRect* roi = nullptr,
             uint32_t binning = 1) {
  if constexpr (sizeof(S) == 1)
    PL_ProcessRaw8(&c, raw.data(), static_cast<uint8_t*>(out), nullptr, roi, binning, false);
  else
    PL_ProcessRaw16(&c, raw.data(), out, nullptr, roi, uint8_t(binning), 0);
}

struct Result {
  std::vector<uint8_t> out;
  std::array<std::array<float, 256>, 4> stats{};
};

struct Case {
  const char* name;
  StateShape shape;
  SensorRect roi{};
  bool useRoi = false;
  uint32_t binning = 1;
};

// Runs one frame through a state with `workers` workers, every stripe step on.
template <typename S>
Result runOnce(const Case& c, uint32_t workers) {
  ScopedWorkerEnvironment env(workers == 0 ? 2 : workers == 1 ? 4 : 8);
  auto ctx = makeState<S>(paramsFor(c.shape));
  EXPECT_EQ(PL_StartWorkers(*ctx), workers);
  makeBusy(*ctx, !c.useRoi && c.binning == 1);
  auto raw = rawFrame<S>(c.shape.width, c.shape.height, c.shape.high ? 12 : 8);
  Result r;
  r.out.assign(frameSamples<S>(c.shape.width, c.shape.height) * sizeof(S), 0);
  process(*ctx, raw, r.out.data(), c.useRoi ? &c.roi : nullptr, c.binning);
  r.stats = ctx->statsF;
  return r;
}

TEST(RawDriver, SameBytesAndStatisticsForZeroOneAndThreeWorkers) {
  const Case cases[] = {
      {"h1080", {96, 1080, 1}},
      {"h1081 rgb", {96, 1081, 0}},
      {"h2", {96, 2, 1}},
      {"w1001 binning 2", {1001, 40, 1}, {}, false, 2},
      {"odd roi", {96, 64, 1}, {3, 5, 67, 55}, true},
      {"16-bit", {96, 1081, 1, true}},
      {"16-bit rgb, 16-bit out", {96, 90, 0, true, kOutputRgb16}},
  };
  for (const Case& c : cases) {
    const auto run = c.shape.high ? runOnce<uint16_t> : runOnce<uint8_t>;
    const Result none = run(c, 0);
    EXPECT_GT(std::set<uint8_t>(none.out.begin(), none.out.end()).size(), 20u) << c.name;
    for (uint32_t workers : {1u, 3u}) {
      const Result got = run(c, workers);
      EXPECT_TRUE(got.out == none.out) << c.name << " with " << workers << " workers";
      EXPECT_TRUE(got.stats == none.stats) << c.name << " statistics with " << workers;
    }
    for (const auto& channel : none.stats)
      EXPECT_NEAR(std::accumulate(channel.begin(), channel.end(), 0.0), 1.0, 1e-4) << c.name;
  }
}

// A host hook that demosaics the whole frame with the state's own kernel.
template <typename S>
bool wholeFrameHook(uint32_t fourcc, int32_t w, int32_t h, const void* raw, void* out, uint8_t,
                    void* context) {
  const auto& c = *static_cast<const PLContextT<S>*>(context);
  uint32_t b = 0;
  while (kernels::BayerFourCC(b) != fourcc) ++b;
  kernels::DemosaicByMethod(stages::LayoutOf(c), c.demosaicVideo, b, c.colourSites.site.data(), w,
                            h, static_cast<const S*>(raw), static_cast<S*>(out));
  return true;
}

// Without a hook each stripe demosaics its own rows a few at a time; the bytes are those of the
// whole frame demosaiced first, in either row order, for any worker count.
TEST(RawDriver, StripesDemosaicAsTheWholeFrameDoes) {
  const Case cases[] = {
      {"top-down", {96, 1081, 1}},
      {"bottom-up", {96, 1081, 1, false, 0, 0, 0, 0}},
      {"bottom-up rgb odd roi", {96, 64, 0, false, 0, 0, 0, 0}, {3, 5, 67, 55}, true},
      {"16-bit bottom-up", {96, 303, 1, true, 0, 0, 0, 0}},
  };
  for (const Case& c : cases)
    for (uint32_t workers : {0u, 3u}) {
      auto frame = [&](bool hooked) {
        ScopedWorkerEnvironment env(workers == 0 ? 2 : 8);
        auto run = [&](auto& ctx, auto sample) {
          using S = decltype(sample);
          EXPECT_EQ(PL_StartWorkers(*ctx), workers);
          makeBusy(*ctx, !c.useRoi);
          if (hooked) ctx->callbacks.demosaicCallback = &wholeFrameHook<S>;
          ctx->callbacks.demosaicCallbackContext = ctx.get();
          auto raw = rawFrame<S>(c.shape.width, c.shape.height, c.shape.high ? 12 : 8);
          std::vector<uint8_t> out(frameSamples<S>(c.shape.width, c.shape.height) * sizeof(S));
          process(*ctx, raw, out.data(), c.useRoi ? &c.roi : nullptr);
          return out;
        };
        if (c.shape.high) {
          auto ctx = makeState<uint16_t>(paramsFor(c.shape));
          return run(ctx, uint16_t{});
        }
        auto ctx = makeState<uint8_t>(paramsFor(c.shape));
        return run(ctx, uint8_t{});
      };
      const auto hooked = frame(true);
      EXPECT_GT(std::set<uint8_t>(hooked.begin(), hooked.end()).size(), 20u) << c.name;
      EXPECT_TRUE(frame(false) == hooked) << c.name << " with " << workers << " workers";
    }
}

std::vector<RawStep> gSteps;

// Which steps run, in which order, for a state set up by `prepare`.
TEST(RawDriver, StepsRunInOrderAndOnlyWhenOn) {
  using S = RawStep;
  struct Row {
    const char* name;
    StateShape shape;
    bool withOut, toneMapping;
    std::function<void(PLContext&)> prepare;
    std::vector<RawStep> steps;
  } rows[] = {
      {"all on",
       {64, 48},
       true,
       true,
       [](PLContext& c) { switchEveryStepOn(c, 2); },
       {S::FfcAccumulate, S::FfcApply, S::DfcAccumulate, S::DfcApply, S::BlackBalance,
        S::BlackLevel, S::WhiteBalance, S::RawWb, S::RawLut, S::Demosaic, S::AdjustColour,
        S::Statistics, S::StatsDelivery, S::Histogram, S::Sharpen, S::AeMark, S::Mirror,
        S::Rotate}},
      {"all off, processed at half size",
       {64, 48, 1, false, 0, 32, 24},
       true,
       false,
       [](PLContext& c) { c.settings.processFlags |= PLProcessFlags::kRotate90; },
       {S::Demosaic, S::AdjustColour, S::Sharpen, S::Fit, S::Mirror, S::Rotate}},
      {"no out: the raw steps only",
       {64, 48},
       false,
       true,
       [](PLContext& c) { c.settings.blackOffset[1] = 10; },
       {S::BlackLevel}},
  };
  for (auto& row : rows) {
    PLInitParams p = paramsFor(row.shape);
    p.hasToneMapping = row.toneMapping;
    PLContextPtr ctx(PL_Init(&p));
    row.prepare(*ctx);
    auto raw = rawFrame<uint8_t>(ctx->procWidth, ctx->procHeight, 8);
    std::vector<uint8_t> out(frameSamples<uint8_t>(64, 48));
    gSteps.clear();
    SetRawStepObserver([](RawStep s, void*) { gSteps.push_back(s); }, nullptr);
    process(*ctx, raw, row.withOut ? out.data() : nullptr);
    SetRawStepObserver(nullptr, nullptr);
    EXPECT_EQ(gSteps, row.steps) << row.name;
    if (row.steps.size() > 10) {
      EXPECT_EQ(ctx->ffcRequest, 1) << "one of two flat-field frames";
      EXPECT_EQ(ctx->dfcRequest, 0);
    }
  }
}

// With bit 7 clear the calling thread does the whole frame although workers wait.
TEST(RawDriver, BitSevenClearKeepsWorkersIdle) {
  ScopedWorkerEnvironment env(8);
  auto ctx = makeState<uint8_t>(paramsFor({64, 48}));
  ASSERT_EQ(PL_StartWorkers(*ctx), 3u);
  ctx->settings.stepBits &= uint8_t(~0x80u);
  auto raw = rawFrame<uint8_t>(64, 48, 8);
  std::vector<uint8_t> out(frameSamples<uint8_t>(64, 48));
  process(*ctx, raw, out.data());
  for (uint32_t k = 0; k < 3; ++k) EXPECT_EQ(ctx->workers.slot[k].job, nullptr) << k;
}

// An odd roi: the demosaic sees the phase of the roi's first sample, black level the sensor's.
TEST(RawDriver, OddRoiShiftsTheDemosaicPhaseOnly) {
  PLInitParams p = paramsFor({64, 48});
  p.hasToneMapping = 0;
  const SensorRect roi{1, 1, 33, 25};
  PLContextPtr a(PL_Init(&p));
  a->settings.blackOffset[0] = 30;  // red only, at the sensor's red sites
  const auto raw = rawFrame<uint8_t>(32, 24, 8);
  std::vector<uint8_t> got(frameSamples<uint8_t>(32, 24)), want(got.size());
  auto raw1 = raw;
  process(*a, raw1, got.data(), &roi);
  // The same by hand: black level with the sensor's order, demosaic with the shifted one.
  PLInitParams q = paramsFor({32, 24});
  q.hasToneMapping = 0;
  q.bayer = kernels::BayerPhaseForRoi(1, 1, 1);
  PLContextPtr b(PL_Init(&q));
  auto raw2 = raw;
  kernels::SubtractBlackLevel(1, a->settings.blackOffset, 32, 24, raw2.data());
  process(*b, raw2, want.data());
  EXPECT_EQ(got, want);
}

// A state with a scratch frame and a roi: running sizes match, so out receives the image.
TEST(RawDriver, ScratchModelWithRoiFillsOut) {
  auto ctx = makeState<uint8_t>(paramsFor({64, 48, 1, false, 0, 32, 24}));
  ASSERT_FALSE(ctx->scratch.empty());
  const SensorRect roi{2, 2, 18, 14};
  std::vector<uint8_t> raw(16 * 12, 200), out(frameSamples<uint8_t>(16, 12), 0);
  process(*ctx, raw, out.data(), &roi);
  EXPECT_GT(std::accumulate(out.begin(), out.end(), uint64_t{0}), uint64_t{16 * 12 * 3 * 100});
}

// Flat-field gains and the dark table reach the raw frame, at the running size.
TEST(RawDriver, CalibrationTablesAreApplied) {
  auto ctx = makeState<uint8_t>(paramsFor({16, 8}));
  const SensorRect roi{0, 0, 8, 4};
  ctx->ffcEnable = ctx->ffcValid = 1, ctx->ffcGain.assign(8 * 4, 2 * 65536);
  ctx->dfcEnable = ctx->dfcValid = 1, ctx->darkTable.assign(8 * 4, 10);
  std::vector<uint8_t> raw(8 * 4, 50);
  process(*ctx, raw, nullptr, &roi);
  EXPECT_EQ(raw, std::vector<uint8_t>(8 * 4, 90));
}

// The raw table takes the white-balanced samples (8 bits fold it into the balance tables), and a
// short table clamps.
TEST(RawDriver, RawTableFollowsTheWhiteBalance) {
  auto ctx = makeState<uint8_t>(paramsFor({16, 8}));
  ASSERT_TRUE(ctx->isColour && !ctx->hasIsp);
  auto wb = std::make_shared<WbTableSet<uint8_t>>();
  for (uint32_t c = 0; c < 3; ++c) {
    wb->lut[c].resize(PLContext::kTableEntries);
    for (uint32_t v = 0; v < wb->lut[c].size(); ++v)
      wb->lut[c][v] = uint8_t(std::min(255u, v * (c + 2) / 3));
  }
  wb->active = true;
  PublishTables(*ctx, &PLTableSets<uint8_t>::wb, std::shared_ptr<const WbTableSet<uint8_t>>(wb));
  ctx->settings.stepBits |= 4;
  ctx->rawLut.resize(200);
  for (uint32_t v = 0; v < 200; ++v) ctx->rawLut[v] = uint8_t(v * 37 + 11);
  for (uint32_t bayer = 0; bayer < 4; ++bayer) {
    ctx->bayer = int32_t(bayer);
    auto raw = rawFrame<uint8_t>(16, 8, 8);
    auto want = raw;
    kernels::ApplyRawWb(bayer, wb->lut[0].data(), wb->lut[1].data(), wb->lut[2].data(), 16, 8,
                        want.data());
    for (auto& v : want) v = ctx->rawLut[std::min<size_t>(v, 199)];
    process(*ctx, raw, nullptr);
    EXPECT_EQ(raw, want) << bayer;
  }
}

TEST(RawDriver, OneShotStatisticsOnceContinuousEveryFrame) {
  auto ctx = makeState<uint8_t>(paramsFor({32, 16}));
  static int calls;
  ctx->callbacks.statsCallback = [](const float*, const float*, const float*, const float*, void*) {
    ++calls;
  };
  std::vector<uint8_t> out(frameSamples<uint8_t>(32, 16));
  for (auto [request, expected] : {std::pair{1u, 1}, {2u, 3}, {3u, 3}}) {
    calls = 0;
    ctx->statsRequest = request;
    for (uint32_t i = 0; i < 3; ++i) {
      auto raw = rawFrame<uint8_t>(32, 16, 8, i);
      process(*ctx, raw, out.data());
    }
    EXPECT_EQ(calls, expected) << "request " << request;
  }
}

// 16-bit output keeps the samples; 8-bit output is each sample >> (bits - 8).
TEST(RawDriver, SixteenBitOutputFormats) {
  for (uint32_t format : {uint32_t(kOutputRgb16), uint32_t(kOutputRgb8)}) {
    PLInitParams p = paramsFor({16, 8, 1, true, format});
    p.hasToneMapping = 0;
    PLContext16Ptr ctx(PL_Init16(&p));
    std::vector<uint16_t> raw(16 * 8, 0x0ABC), out(frameSamples<uint16_t>(16, 8), 0);
    process(*ctx, raw, out.data());
    const auto* bytes = reinterpret_cast<const uint8_t*>(out.data());
    if (format == kOutputRgb16)
      EXPECT_EQ(std::tie(out[0], out[3 * 5 + 1]), std::make_tuple(0x0ABC, 0x0ABC));
    else
      EXPECT_EQ(std::tie(bytes[0], bytes[3 * 5 + 2]), std::make_tuple(0xAB, 0xAB));
  }
}

}  // namespace
}  // namespace zxtest
