// A one-shot statistics request on every frame driver: taken by the frame that delivers
// statistics, kept through a frame that ends without any, and a newer one kept for the next frame.
#include <gtest/gtest.h>

#include <mutex>

#include "pipeline/pl_mono_driver.h"
#include "pipeline/pl_raw_driver.h"
#include "pipeline_kit.h"

namespace zxtest {
namespace {

struct Calls {
  int count = 0;
  static void count1(const float*, const float*, const float*, const float*, void* context) {
    ++static_cast<Calls*>(context)->count;
  }
};

// A request as the camera writes it, while the frame's statistics are being made.
template <typename S>
void requestAgain(RawStep step, void* context) {
  if (step != RawStep::Statistics) return;
  auto& c = *static_cast<PLContextT<S>*>(context);
  std::lock_guard<platform::RecursiveLock> hold(*c.mtxSettings);
  c.statsRequest = 1;
  ++c.statsRequestSerial;
}

struct Row {
  const char* name;
  bool high, colour;
  uint32_t outputFormat;  // one that needs no scratch frame: no output, no working image
};
const Row kRows[] = {
    {"8-bit colour", false, true, kOutputRgb8},
    {"16-bit colour", true, true, kOutputRgb16},
    {"8-bit grey", false, false, kOutputGrey8},
    {"16-bit grey", true, false, kOutputGrey16},
};

template <typename S>
void process(PLContextT<S>& c, std::vector<S>& raw, void* out, bool colour) {
  if constexpr (sizeof(S) == 1) {
    auto* o = static_cast<uint8_t*>(out);
    colour ? PL_ProcessRaw8(&c, raw.data(), o, nullptr, nullptr, 1, false)
           : PL_ProcessMono8(&c, raw.data(), o, nullptr, nullptr, 1);
  } else {
    colour ? PL_ProcessRaw16(&c, raw.data(), out, nullptr, nullptr, 1, 0)
           : PL_ProcessMono16(&c, raw.data(), out, nullptr, nullptr, 1);
  }
}

template <typename S>
void run(const Row& row) {
  PLInitParams p = paramsFor({32, 16, 1, row.high, row.outputFormat});
  p.isColour = row.colour ? 1 : 0;
  auto ctx = makeState<S>(p);
  ASSERT_TRUE(ctx->scratch.empty()) << row.name;
  Calls calls;
  ctx->callbacks.statsCallback = &Calls::count1;
  ctx->callbacks.statsCallbackContext = &calls;
  ctx->statsRequest = 1;
  std::vector<S> out(frameSamples<S>(32, 16, ctx->samplesPerPixel));
  auto raw = rawFrame<S>(32, 16, row.high ? 12 : 8);
  process(*ctx, raw, nullptr, row.colour);  // nowhere to work: no statistics
  EXPECT_EQ(calls.count, 0) << row.name;
  EXPECT_EQ(ctx->statsRequest, 1u) << row.name << ": the request outlives a frame without any";
  process(*ctx, raw, out.data(), row.colour);
  EXPECT_EQ(calls.count, 1) << row.name << ": the next frame answers it";
  EXPECT_EQ(ctx->statsRequest, 0u) << row.name;
  process(*ctx, raw, out.data(), row.colour);
  EXPECT_EQ(calls.count, 1) << row.name << ": answered once";
  // A request written while a frame makes its statistics is the next frame's to answer.
  ctx->statsRequest = 1;
  SetRawStepObserver(&requestAgain<S>, ctx.get());
  process(*ctx, raw, out.data(), row.colour);
  SetRawStepObserver(nullptr, nullptr);
  EXPECT_EQ(calls.count, 2) << row.name;
  EXPECT_EQ(ctx->statsRequest, 1u) << row.name << ": the newer request is kept";
  process(*ctx, raw, out.data(), row.colour);
  EXPECT_EQ(calls.count, 3) << row.name;
  EXPECT_EQ(ctx->statsRequest, 0u) << row.name;
}

TEST(StatsRequest, OneShotIsTakenOnlyByAFrameThatDeliversStatistics) {
  for (const Row& row : kRows) row.high ? run<uint16_t>(row) : run<uint8_t>(row);
}

}  // namespace
}  // namespace zxtest
