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

// Worker 0 fails: the others fill slots 0 and 1, the frame is right and the state ends cleanly.
TEST(Workers, FailedFirstCreationKeepsSlotsDense) {
  StateShape shape{64, 90};
  PLInitParams p = paramsFor(shape);
  std::vector<uint8_t> reference;
  {
    ScopedWorkerEnvironment env(2);
    PLContextPtr ctx(PL_Init(&p));
    makeBusy(*ctx, true);
    auto raw = rawFrame<uint8_t>(64, 90, 8);
    reference.assign(frameSamples<uint8_t>(64, 90, 3), 0);
    PL_ProcessRaw8(ctx.get(), raw.data(), reference.data(), nullptr, nullptr, 1, false);
  }
  ScopedWorkerEnvironment env(8, 0b001);
  PLContextPtr ctx(PL_Init(&p));
  ASSERT_EQ(PL_StartWorkers(*ctx), 2u);
  for (uint32_t k = 0; k < 2; ++k) EXPECT_TRUE(ctx->workers.slot[k].thread) << k;
  EXPECT_FALSE(ctx->workers.slot[2].thread);
  EXPECT_FALSE(ctx->workers.slot[2].start) << "events of the failed start are closed";
  makeBusy(*ctx, true);
  auto raw = rawFrame<uint8_t>(64, 90, 8);
  std::vector<uint8_t> out(reference.size());
  PL_ProcessRaw8(ctx.get(), raw.data(), out.data(), nullptr, nullptr, 1, false);
  EXPECT_EQ(out, reference);
}

TEST(Workers, NoneStartWhenEveryCreationFails) {
  ScopedWorkerEnvironment env(8, 0b111);
  PLInitParams p = paramsFor({});
  PLContextPtr ctx(PL_Init(&p));
  EXPECT_EQ(PL_StartWorkers(*ctx), 0u);
  EXPECT_EQ(ctx->settings.stepBits & kStepBitsWorkers, 0);
  auto raw = rawFrame<uint8_t>(64, 48, 8);
  std::vector<uint8_t> out(frameSamples<uint8_t>(64, 48, 3));
  PL_ProcessRaw8(ctx.get(), raw.data(), out.data(), nullptr, nullptr, 1, false);
}

TEST(Workers, ThousandStartFrameStopCycles) {
  ScopedWorkerEnvironment env(8);
  PLInitParams p = paramsFor({32, 16});
  auto raw = rawFrame<uint8_t>(32, 16, 8);
  std::vector<uint8_t> out(frameSamples<uint8_t>(32, 16, 3));
  for (int i = 0; i < 1000; ++i) {
    PLContextPtr ctx(PL_Init(&p));
    ASSERT_EQ(PL_StartWorkers(*ctx), 3u) << i;
    auto frame = raw;
    PL_ProcessRaw8(ctx.get(), frame.data(), out.data(), nullptr, nullptr, 1, false);
  }
}

TEST(Workers, StopWhileIdle) {
  ScopedWorkerEnvironment env(4);
  PLInitParams p = paramsFor({});
  PLContextPtr ctx(PL_Init(&p));
  ASSERT_EQ(PL_StartWorkers(*ctx), 1u);
  PL_StopWorkers(ctx->workers);
  EXPECT_EQ(ctx->workers.workerCount, 0u);
  EXPECT_FALSE(ctx->workers.slot[0].thread);
}

}  // namespace
}  // namespace zxtest
