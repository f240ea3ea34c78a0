// The stripe workers: how many start, how a frame is cut, failed starts, and long-run cycles.
#include <gtest/gtest.h>

#include "pipeline/pl_raw_driver.h"
#include "pipeline_kit.h"

namespace zxtest {
namespace {

TEST(Workers, CountFollowsProcessors) {
  const struct {
    uint32_t processors, workers;
  } table[] = {{1, 0}, {2, 0}, {3, 0}, {4, 1}, {7, 1}, {8, 3}, {64, 3}};
  for (const auto& row : table)
    EXPECT_EQ(WorkerCountFor(row.processors), row.workers) << row.processors;
}

// Grey, ISP and models without workers get none; a started state has bits 6 and 7 set.
TEST(Workers, OnlyColourSoftwareStatesStartThem) {
  ScopedWorkerEnvironment env(8);
  struct Case {
    const char* name;
    uint8_t isColour, hasIsp, allowed;
    uint32_t workers;
  } cases[] = {
      {"colour", 1, 0, 1, 3}, {"grey", 0, 0, 1, 0}, {"isp", 1, 1, 1, 0}, {"refused", 1, 0, 0, 0}};
  for (const Case& c : cases) {
    PLInitParams p = paramsFor({});
    p.isColour = c.isColour, p.hasIsp = c.hasIsp, p.workersAllowed = c.allowed;
    PLContextPtr ctx(PL_Init(&p));
    ASSERT_TRUE(ctx);
    EXPECT_EQ(PL_StartWorkers(*ctx), c.workers) << c.name;
    EXPECT_EQ(ctx->settings.stepBits & kStepBitsWorkers, c.workers ? kStepBitsWorkers : 0)
        << c.name;
    EXPECT_EQ(PL_StartWorkers(*ctx), c.workers) << c.name << ": a second start adds none";
  }
}

// Failed creations: the started workers fill the first slots, the frame is right (worker 0
// failing shifts the others down) and the state ends cleanly; all failing leaves bits 6, 7 clear.
TEST(Workers, FailedCreationsKeepSlotsDense) {
  const PLInitParams p = paramsFor({64, 90});
  auto frame = [&](PLContext& ctx) {
    makeBusy(ctx, true);
    auto raw = rawFrame<uint8_t>(64, 90, 8);
    std::vector<uint8_t> out(frameSamples<uint8_t>(64, 90), 0);
    PL_ProcessRaw8(&ctx, raw.data(), out.data(), nullptr, nullptr, 1, false);
    return out;
  };
  std::vector<uint8_t> reference;
  {
    ScopedWorkerEnvironment env(2);
    reference = frame(*makeState<uint8_t>(p));
  }
  for (auto [failMask, started] : {std::pair{0b001u, 2u}, {0b111u, 0u}}) {
    ScopedWorkerEnvironment env(8, failMask);
    auto ctx = makeState<uint8_t>(p);
    ASSERT_EQ(PL_StartWorkers(*ctx), started);
    EXPECT_EQ(ctx->settings.stepBits & kStepBitsWorkers, started ? kStepBitsWorkers : 0);
    for (uint32_t k = 0; k < 3; ++k) EXPECT_EQ(bool(ctx->workers.slot[k].thread), k < started) << k;
    EXPECT_FALSE(ctx->workers.slot[2].start) << "events of the failed start are closed";
    EXPECT_EQ(frame(*ctx), reference) << failMask;
  }
}

// Start, a frame and stop a thousand times; the last stop is explicit, while idle.
TEST(Workers, ThousandStartFrameStopCycles) {
  ScopedWorkerEnvironment env(8);
  auto raw = rawFrame<uint8_t>(32, 16, 8);
  std::vector<uint8_t> out(frameSamples<uint8_t>(32, 16));
  for (int i = 0; i < 1000; ++i) {
    auto ctx = makeState<uint8_t>(paramsFor({32, 16}));
    ASSERT_EQ(PL_StartWorkers(*ctx), 3u) << i;
    auto frame = raw;
    PL_ProcessRaw8(ctx.get(), frame.data(), out.data(), nullptr, nullptr, 1, false);
    if (i == 999) {
      PL_StopWorkers(ctx->workers);
      EXPECT_EQ(ctx->workers.workerCount, 0u);
      EXPECT_FALSE(ctx->workers.slot[0].thread);
    }
  }
}

}  // namespace
}  // namespace zxtest
