// The raw colour frame driver: identical bytes for any worker count, the order of its steps,
// the working buffer, the roi's Bayer phase, statistics and the 16-bit output.
#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <set>

#include "kernels/output.h"
#include "kernels/raw_steps.h"
#include "pipeline/pl_raw_driver.h"
#include "run_fixture.h"

namespace zxtest {
namespace {

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
Result runOnce(const Case& c, uint32_t workers) {
  ScopedWorkerEnvironment env(processorsFor(workers));
  PLInitParams p = paramsFor(c.shape);
  Result r;
  const uint32_t bits = c.shape.high ? 12 : 8;
  if (!c.shape.high) {
    PLContextPtr ctx(PL_Init(&p));
    EXPECT_EQ(PL_StartWorkers(*ctx), workers);
    makeBusy(*ctx, !c.useRoi && c.binning == 1);
    auto raw = rawFrame<uint8_t>(c.shape.width, c.shape.height, bits);
    r.out.assign(frameSamples<uint8_t>(c.shape.width, c.shape.height, 3), 0);
    PL_ProcessRaw8(ctx.get(), raw.data(), r.out.data(), nullptr, c.useRoi ? &c.roi : nullptr,
                   c.binning, false);
    r.stats = ctx->statsF;
  } else {
    PLContext16Ptr ctx(PL_Init16(&p));
    EXPECT_EQ(PL_StartWorkers(*ctx), workers);
    makeBusy(*ctx, !c.useRoi && c.binning == 1);
    auto raw = rawFrame<uint16_t>(c.shape.width, c.shape.height, bits);
    r.out.assign(frameSamples<uint16_t>(c.shape.width, c.shape.height, 3) * 2, 0);
    PL_ProcessRaw16(ctx.get(), raw.data(), r.out.data(), nullptr, c.useRoi ? &c.roi : nullptr,
                    uint8_t(c.binning), 0);
    r.stats = ctx->statsF;
  }
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
    const Result none = runOnce(c, 0);
    std::set<uint8_t> distinct(none.out.begin(), none.out.end());
    EXPECT_GT(distinct.size(), 20u) << c.name << ": a busy image";
    for (uint32_t workers : {1u, 3u}) {
      const Result got = runOnce(c, workers);
      EXPECT_TRUE(got.out == none.out) << c.name << " with " << workers << " workers";
      EXPECT_TRUE(got.stats == none.stats) << c.name << " statistics with " << workers;
    }
    for (const auto& channel : none.stats) {
      const double sum = std::accumulate(channel.begin(), channel.end(), 0.0);
      EXPECT_NEAR(sum, 1.0, 1e-4) << c.name;
    }
  }
}

std::vector<RawStep> gSteps;
void record(RawStep s, void*) {
  gSteps.push_back(s);
}

struct StepRecorder {
  StepRecorder() {
    gSteps.clear();
    SetRawStepObserver(&record, nullptr);
  }
  ~StepRecorder() { SetRawStepObserver(nullptr, nullptr); }
};

TEST(RawDriver, StepsRunInOrderWhenAllAreOn) {
  PLInitParams p = paramsFor({64, 48});
  PLContextPtr ctx(PL_Init(&p));
  makeBusy(*ctx, true);
  ctx->settings.mirror = 1;
  ctx->settings.processFlags |= PLProcessFlags::kRotate180;
  ctx->settings.stepBits |= 4;
  ctx->rawLut.assign(256, 7);
  ctx->ffcRequest = 1, ctx->ffcFrames = 2;
  ctx->ffcEnable = ctx->ffcValid = 1, ctx->ffcGain.assign(64 * 48, 65536);
  ctx->dfcRequest = 1, ctx->dfcEnable = ctx->dfcValid = 1, ctx->darkTable.assign(64 * 48, 1);
  ctx->abbRequest = ctx->awbRequest = ctx->aeMarkWindow = 1;
  ctx->callbacks.statsCallback = [](const float*, const float*, const float*, const float*, void*) {
  };
  ctx->callbacks.histogramCallback = [](const uint32_t*, uint32_t, void*) {};
  auto raw = rawFrame<uint8_t>(64, 48, 8);
  std::vector<uint8_t> out(frameSamples<uint8_t>(64, 48, 3));
  StepRecorder rec;
  PL_ProcessRaw8(ctx.get(), raw.data(), out.data(), nullptr, nullptr, 1, false);
  using S = RawStep;
  const std::vector<RawStep> all = {
      S::FfcAccumulate, S::FfcApply,  S::DfcAccumulate, S::DfcApply, S::BlackBalance, S::BlackLevel,
      S::WhiteBalance,  S::RawWb,     S::RawLut,        S::Demosaic, S::AdjustColour, S::Statistics,
      S::StatsDelivery, S::Histogram, S::Sharpen,       S::AeMark,   S::Mirror,       S::Rotate};
  EXPECT_EQ(gSteps, all);
  EXPECT_EQ(ctx->ffcRequest, 1) << "one of two flat-field frames";
  EXPECT_EQ(ctx->dfcRequest, 0);
}

TEST(RawDriver, OnlyDemosaicFitMirrorAndRotationWhenAllAreOff) {
  PLInitParams p = paramsFor({64, 48, 1, false, 0, 32, 24});  // processed at half size
  p.hasToneMapping = 0;
  PLContextPtr ctx(PL_Init(&p));
  ctx->settings.processFlags |= PLProcessFlags::kRotate90;
  auto raw = rawFrame<uint8_t>(32, 24, 8);
  std::vector<uint8_t> out(frameSamples<uint8_t>(64, 48, 3));
  StepRecorder rec;
  PL_ProcessRaw8(ctx.get(), raw.data(), out.data(), nullptr, nullptr, 1, false);
  using S = RawStep;
  EXPECT_EQ(gSteps, (std::vector<RawStep>{S::Demosaic, S::AdjustColour, S::Sharpen, S::Fit,
                                          S::Mirror, S::Rotate}));
}

// With bit 7 clear the calling thread does the whole frame although workers wait.
TEST(RawDriver, BitSevenClearKeepsWorkersIdle) {
  ScopedWorkerEnvironment env(8);
  PLInitParams p = paramsFor({64, 48});
  PLContextPtr ctx(PL_Init(&p));
  ASSERT_EQ(PL_StartWorkers(*ctx), 3u);
  ctx->settings.stepBits &= uint8_t(~0x80u);
  auto raw = rawFrame<uint8_t>(64, 48, 8);
  std::vector<uint8_t> out(frameSamples<uint8_t>(64, 48, 3));
  PL_ProcessRaw8(ctx.get(), raw.data(), out.data(), nullptr, nullptr, 1, false);
  for (uint32_t k = 0; k < 3; ++k) EXPECT_EQ(ctx->workers.slot[k].job, nullptr) << k;
}

// An odd roi: the demosaic sees the phase of the roi's first sample, black level the sensor's.
TEST(RawDriver, OddRoiShiftsTheDemosaicPhaseOnly) {
  PLInitParams p = paramsFor({64, 48});
  p.hasToneMapping = 0;
  const SensorRect roi{1, 1, 33, 25};
  PLContextPtr a(PL_Init(&p));
  a->settings.blackOffset[0] = 30;  // red only, at the sensor's red sites
  auto raw = rawFrame<uint8_t>(32, 24, 8);
  std::vector<uint8_t> got(frameSamples<uint8_t>(32, 24, 3)), want(got.size());
  auto raw1 = raw;
  PL_ProcessRaw8(a.get(), raw1.data(), got.data(), nullptr, &roi, 1, false);
  // The same by hand: black level with the sensor's order, demosaic with the shifted one.
  PLInitParams q = paramsFor({32, 24});
  q.hasToneMapping = 0;
  q.bayer = kernels::BayerPhaseForRoi(1, 1, 1);
  PLContextPtr b(PL_Init(&q));
  auto raw2 = raw;
  kernels::SubtractBlackLevel(1, a->settings.blackOffset, 32, 24, raw2.data());
  PL_ProcessRaw8(b.get(), raw2.data(), want.data(), nullptr, nullptr, 1, false);
  EXPECT_EQ(got, want);
}

// A state with a scratch frame and a roi: running sizes match, so out receives the image.
TEST(RawDriver, ScratchModelWithRoiFillsOut) {
  PLInitParams p = paramsFor({64, 48, 1, false, 0, 32, 24});
  PLContextPtr ctx(PL_Init(&p));
  ASSERT_FALSE(ctx->scratch.empty());
  const SensorRect roi{2, 2, 18, 14};
  std::vector<uint8_t> raw(16 * 12, 200), out(frameSamples<uint8_t>(16, 12, 3), 0);
  PL_ProcessRaw8(ctx.get(), raw.data(), out.data(), nullptr, &roi, 1, false);
  EXPECT_GT(std::accumulate(out.begin(), out.end(), uint64_t{0}), uint64_t{16 * 12 * 3 * 100});
}

TEST(RawDriver, NullOutStopsAfterTheRawSteps) {
  PLInitParams p = paramsFor({64, 48});
  PLContextPtr ctx(PL_Init(&p));
  ctx->settings.blackOffset[1] = 10;
  auto raw = rawFrame<uint8_t>(64, 48, 8);
  StepRecorder rec;
  PL_ProcessRaw8(ctx.get(), raw.data(), nullptr, nullptr, nullptr, 1, false);
  EXPECT_EQ(gSteps, std::vector<RawStep>{RawStep::BlackLevel});
}

// Flat-field gains and the dark table reach the raw frame, at the running size.
TEST(RawDriver, CalibrationTablesAreApplied) {
  PLInitParams p = paramsFor({16, 8});
  PLContextPtr ctx(PL_Init(&p));
  const SensorRect roi{0, 0, 8, 4};
  ctx->ffcEnable = ctx->ffcValid = 1, ctx->ffcGain.assign(8 * 4, 2 * 65536);
  ctx->dfcEnable = ctx->dfcValid = 1, ctx->darkTable.assign(8 * 4, 10);
  std::vector<uint8_t> raw(8 * 4, 50);
  PL_ProcessRaw8(ctx.get(), raw.data(), nullptr, nullptr, &roi, 1, false);
  EXPECT_EQ(raw, std::vector<uint8_t>(8 * 4, 90));
}

// The raw table takes the white-balanced samples (8 bits fold it into the balance tables), and a
// short table clamps.
TEST(RawDriver, RawTableFollowsTheWhiteBalance) {
  PLInitParams p = paramsFor({16, 8});
  PLContextPtr ctx(PL_Init(&p));
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
    PL_ProcessRaw8(ctx.get(), raw.data(), nullptr, nullptr, nullptr, 1, false);
    EXPECT_EQ(raw, want) << bayer;
  }
}

TEST(RawDriver, OneShotStatisticsOnceContinuousEveryFrame) {
  PLInitParams p = paramsFor({32, 16});
  PLContextPtr ctx(PL_Init(&p));
  static int calls;
  calls = 0;
  ctx->callbacks.statsCallback = [](const float*, const float*, const float*, const float*, void*) {
    ++calls;
  };
  std::vector<uint8_t> out(frameSamples<uint8_t>(32, 16, 3));
  const struct {
    uint32_t request;
    int expected;
  } table[] = {{1, 1}, {2, 3}, {3, 3}};
  for (const auto& row : table) {
    calls = 0;
    ctx->statsRequest = row.request;
    for (int i = 0; i < 3; ++i) {
      auto raw = rawFrame<uint8_t>(32, 16, 8, uint32_t(i));
      PL_ProcessRaw8(ctx.get(), raw.data(), out.data(), nullptr, nullptr, 1, false);
    }
    EXPECT_EQ(calls, row.expected) << "request " << row.request;
  }
}

// 16-bit output keeps the samples; 8-bit output is each sample >> (bits - 8).
TEST(RawDriver, SixteenBitOutputFormats) {
  for (uint32_t format : {uint32_t(kOutputRgb16), uint32_t(kOutputRgb8)}) {
    PLInitParams p = paramsFor({16, 8, 1, true, format});
    p.hasToneMapping = 0;
    PLContext16Ptr ctx(PL_Init16(&p));
    std::vector<uint16_t> raw(16 * 8, 0x0ABC);
    std::vector<uint16_t> out(frameSamples<uint16_t>(16, 8, 3), 0);
    PL_ProcessRaw16(ctx.get(), raw.data(), out.data(), nullptr, nullptr, 1, 0);
    if (format == kOutputRgb16) {
      EXPECT_EQ(out[0], 0x0ABC);
      EXPECT_EQ(out[3 * 5 + 1], 0x0ABC);
    } else {
      const auto* bytes = reinterpret_cast<const uint8_t*>(out.data());
      EXPECT_EQ(bytes[0], 0xAB);
      EXPECT_EQ(bytes[3 * 5 + 2], 0xAB);
    }
  }
}

}  // namespace
}  // namespace zxtest
