// AHD and sharpening in the frame drivers and the still paths: the same bytes for any worker
// count, the step changes pixels, stills larger than the preview, and previews beside stills.
#include <gtest/gtest.h>

#include <thread>

#include "kernels/demosaic_ahd.h"
#include "kernels/geometry.h"
#include "kernels/output.h"
#include "pipeline/pl_raw_driver.h"
#include "pipeline/stages/demosaic.h"
#include "pipeline/stages/still.h"
#include "pipeline_kit.h"

namespace zxtest {
namespace {

constexpr uint32_t kAhd = 3;

// Sharpening with amount, radius and threshold, as the option setter stores them.
template <typename S>
void setUsm(PLContextT<S>& c, uint32_t amount, uint32_t radius, uint8_t threshold) {
  c.settings.processFlags = PLProcessFlags::withUsm(c.settings.processFlags, amount);
  c.usmRadius = radius, c.usmThreshold = threshold;
}

struct FrameRun {
  std::vector<uint8_t> out;
  std::vector<RawStep> steps;
};

std::vector<RawStep> gSeen;

template <typename S>
FrameRun runFrame(const StateShape& shape, uint32_t workers, uint32_t amount, uint32_t radius) {
  ScopedWorkerEnvironment env(workers == 0 ? 2 : workers == 1 ? 4 : 8);
  auto ctx = makeState<S>(paramsFor(shape));
  EXPECT_EQ(PL_StartWorkers(*ctx), workers);
  makeBusy(*ctx, true);
  ctx->demosaicVideo = kAhd;
  setUsm(*ctx, amount, radius, 2);
  auto raw = rawFrame<S>(shape.width, shape.height, shape.high ? 12 : 8);
  FrameRun r;
  r.out.assign(frameSamples<S>(shape.width, shape.height) * sizeof(S), 0);
  gSeen.clear();
  SetRawStepObserver([](RawStep s, void*) { gSeen.push_back(s); }, nullptr);
  if constexpr (sizeof(S) == 1)
    PL_ProcessRaw8(ctx.get(), raw.data(), r.out.data(), nullptr, nullptr, 1, false);
  else
    PL_ProcessRaw16(ctx.get(), raw.data(), r.out.data(), nullptr, nullptr, 1, 0);
  SetRawStepObserver(nullptr, nullptr);
  r.steps = gSeen;
  if (amount == 0) {
    EXPECT_EQ(ctx->sharpenScratch.samples(), 0u) << "amount 0 allocates nothing";
  }
  return r;
}

// AHD (whole frame) and sharpening give the same bytes for 0, 1 and 3 workers; sharpening
// changes pixels, and at amount 0 nothing.
TEST(RawDriverAhdSharpen, SameBytesForAnyWorkerCountAndTheStepSharpens) {
  struct Row {
    const char* name;
    StateShape shape;
    uint32_t radius;
  } const rows[] = {
      {"8-bit bgr", {96, 70, 1}, 2},
      {"8-bit rgb bottom-up", {96, 71, 0, false, 0, 0, 0, 0}, 5},
      {"16-bit", {90, 64, 1, true}, 3},
      {"16-bit out", {90, 64, 0, true, kOutputRgb16}, 10},
  };
  for (const Row& row : rows) {
    const auto run = row.shape.high ? runFrame<uint16_t> : runFrame<uint8_t>;
    const FrameRun plain = run(row.shape, 0, 0, row.radius);
    const FrameRun sharp = run(row.shape, 0, 150, row.radius);
    EXPECT_NE(plain.out, sharp.out) << row.name;
    EXPECT_NE(std::find(sharp.steps.begin(), sharp.steps.end(), RawStep::Sharpen),
              sharp.steps.end());
    for (uint32_t workers : {1u, 3u})
      EXPECT_EQ(run(row.shape, workers, 150, row.radius).out, sharp.out)
          << row.name << " with " << workers << " workers";
  }
}

// A state made for the preview demosaics and sharpens a still far larger than the preview: the
// scratch grows to the still's size (the address sanitizer watches every write).
TEST(StillAhdSharpen, StillLargerThanThePreview) {
  PLInitParams p = paramsFor({640, 480, 1});
  PLContextPtr ctx(PL_Init(&p));
  ctx->demosaicStill = kAhd;
  setUsm(*ctx, 150, 2, 4);
  ctx->settings.processFlags |= PLProcessFlags::kRotate90;
  const int32_t w = 1600, h = 1202;
  auto raw = rawFrame<uint8_t>(w, h, 8);
  const size_t outBytes = kernels::turnedFrameBytes<uint8_t>(w, h, 3);
  std::vector<uint8_t> out(outBytes);
  ASSERT_EQ(stages::PL_ProcessStill8(ctx.get(), raw.data(), out.data(), outBytes, 24, w, h, w, h),
            1);
  EXPECT_GE(ctx->ahdScratch.bytes(), kernels::AhdScratch::bytesFor(w));
  EXPECT_GE(ctx->sharpenScratch.samples(), kernels::rowStride<uint8_t>(3, w) * h);

  PLInitParams p16 = paramsFor({640, 480, 0, true});
  PLContext16Ptr c16(PL_Init16(&p16));
  setUsm(*c16, 200, 4, 10);
  auto raw16 = rawFrame<uint16_t>(w, h, 12);
  std::vector<uint16_t> img(kernels::rowStride<uint16_t>(3, w) * h);
  stages::Demosaic16(c16.get(), {}, 1, c16->colourSites.site.data(), kAhd, w, h, raw16.data(),
                     img.data());
  Sharpen16(*c16, img.data(), w, h);
  EXPECT_GE(c16->sharpenScratch.samples(), img.size());
}

// Preview frames and stills of one state at once: each gives the bytes it gives alone (the
// scratch lock lets AHD, sharpening and the quarter turns' buffer take turns). The still is larger
// than the preview, so its turn also grows the shared rotation buffer.
TEST(StillAhdSharpen, PreviewFramesAndStillsAtOnce) {
  struct Row {
    const char* name;
    uint32_t demosaic, usm;
    uint32_t rotate;
  } const rows[] = {
      {"AHD and sharpening", kAhd, 120, 0},
      {"quarter turn left", 0, 0, PLProcessFlags::kRotate90},
      {"quarter turn right", 0, 0, PLProcessFlags::kRotate270},
      {"AHD, sharpening and a quarter turn", kAhd, 120, PLProcessFlags::kRotate90},
  };
  for (const Row& row : rows) {
    PLInitParams p = paramsFor({64, 48, 1});
    PLContextPtr ctx(PL_Init(&p));
    ctx->demosaicVideo = ctx->demosaicStill = row.demosaic;
    setUsm(*ctx, row.usm, 3, 1);
    ctx->settings.processFlags |= row.rotate;
    const auto previewRaw = rawFrame<uint8_t>(64, 48, 8, 3);
    const auto stillRaw = rawFrame<uint8_t>(96, 72, 8, 4);
    const size_t stillBytes = kernels::turnedFrameBytes<uint8_t>(96, 72, 3);
    auto preview = [&] {
      auto raw = previewRaw;
      std::vector<uint8_t> out(kernels::turnedFrameBytes<uint8_t>(64, 48, 3));
      PL_ProcessRaw8(ctx.get(), raw.data(), out.data(), nullptr, nullptr, 1, false);
      return out;
    };
    auto still = [&] {
      auto raw = stillRaw;
      std::vector<uint8_t> out(stillBytes);
      EXPECT_EQ(stages::PL_ProcessStill8(ctx.get(), raw.data(), out.data(), stillBytes, 24, 96, 72,
                                         96, 72),
                1);
      return out;
    };
    const auto wantPreview = preview(), wantStill = still();
    ctx->rotation.clear();  // the still's turn grows it again, under the previews
    ctx->rotation.shrink_to_fit();
    int stillsDiffering = 0, previewsDiffering = 0;
    std::thread stills([&] {
      for (int i = 0; i < 30; ++i) stillsDiffering += still() != wantStill;
    });
    for (int i = 0; i < 30; ++i) previewsDiffering += preview() != wantPreview;
    stills.join();
    EXPECT_EQ(stillsDiffering, 0) << row.name;
    EXPECT_EQ(previewsDiffering, 0) << row.name;
  }
}

}  // namespace
}  // namespace zxtest
