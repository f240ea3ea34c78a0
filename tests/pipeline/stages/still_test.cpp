// The 8-bit still path against the kernels called one by one; refusals; high-bit output turns.
#include <gtest/gtest.h>

#include "kernels/colour_steps.h"
#include "kernels/output.h"
#include "kernels/raw_steps.h"
#include "pipeline/store/settings_io.h"
#include "pipeline/pl_state.h"
#include "pipeline/pl_vignette.h"
#include "pipeline/stages/demosaic.h"
#include "pipeline/stages/orientation.h"
#include "pipeline/stages/still.h"
#include "tests/pipeline/pipeline_kit.h"

namespace stages {
namespace {

namespace testkit = kernels::testkit;

using namespace kernels;

using testkit::Guarded;

struct StillState {
  PLContextPtr ctx;
  StillState(int32_t w, int32_t h, uint32_t bayer, bool byteOrder, bool rowOrder,
             uint8_t colour = 1) {
    PLInitParams p;
    p.frameWidth = p.procWidth = p.maxWidth = uint32_t(w);
    p.frameHeight = p.procHeight = p.maxHeight = uint32_t(h);
    p.bayer = int32_t(bayer), p.byteOrder = byteOrder, p.rowOrder = rowOrder, p.isColour = colour;
    PLSettings s{};
    PLContext probe;
    probe.isColour = colour;
    PL_SetDefaults(&probe, &s);
    p.settings = &s;
    ctx.reset(PL_Init(&p));
  }
  PLContext& operator*() { return *ctx; }
};

// The camera's white balance (the default temperature makes the three gains differ).
void rawWb(PLContext& c, std::vector<uint8_t>& raw, int32_t w, int32_t h) {
  const auto wb = SnapshotTables(c).wb;
  if (wb && wb->active)
    ApplyRawWb(uint32_t(c.bayer), wb->lut[0].data(), wb->lut[1].data(), wb->lut[2].data(), w, h,
               raw.data());
}

// The still's steps for neutral colour settings: white balance, demosaic, fit, mirror, rotation.
std::vector<uint8_t> byHand(PLContext& c, std::vector<uint8_t> raw, int32_t w, int32_t h,
                            int32_t ow, int32_t oh, size_t outBytes) {
  // Padding keeps the output's fill, as the still works in the output when the sizes match.
  std::vector<uint8_t> proc(std::max(rowStride<uint8_t>(3, w) * h, outBytes),
                            Guarded<uint8_t>::kFill);
  std::vector<uint8_t> out(outBytes, Guarded<uint8_t>::kFill);
  rawWb(c, raw, w, h);
  Demosaic(&c, c.callbacks, uint32_t(c.bayer), c.colourSites.site.data(), c.demosaicStill, w, h,
           raw.data(), proc.data());
  if (w == ow && h == oh)
    std::copy_n(proc.begin(), outBytes, out.begin());
  else
    FitToOutput(ow, oh, w, h, out.data(), outBytes, proc.data(), proc.size(), 3);
  FlipImage8(int32_t(c.settings.mirror), ow, oh, out.data(), 3);
  const uint32_t f = c.settings.processFlags;
  if (f & PLProcessFlags::kRotate90) {
    std::vector<uint8_t> scratch(rotateScratchBytes<uint8_t>(ow, oh, 3));
    RotateCcw8(out.data(), outBytes, {scratch.data(), scratch.size()}, ow, oh, 3);
  } else if (f & PLProcessFlags::kRotate180) {
    Rotate180_8(ow, oh, out.data(), 3);
  }
  return out;
}

TEST(StagesStill, NeutralStillIsDemosaicThenGeometry) {
  const int32_t w = 13, h = 9;
  for (uint32_t b = 0; b < 4; ++b)
    for (bool byteOrder : {false, true})
      for (bool rowOrder : {false, true}) {
        StillState st(w, h, b, byteOrder, rowOrder);
        ASSERT_TRUE(st.ctx);
        (*st).settings.mirror = 1 + b % 2;
        (*st).settings.processFlags |=
            b == 3 ? PLProcessFlags::kRotate180 : PLProcessFlags::kRotate90;
        const auto raw = testkit::rawFrame<uint8_t>(testkit::Pattern::Random, w, h, 255, b);
        const size_t n = turnedFrameBytes<uint8_t>(w, h, 3);
        const auto want = byHand(*st, raw, w, h, w, h, n);
        auto rawCopy = raw;
        Guarded<uint8_t> out(n);
        ASSERT_EQ(PL_ProcessStill8(st.ctx.get(), rawCopy.data(), out.data(), n, 24, w, h, w, h), 1);
        EXPECT_TRUE(std::equal(want.begin(), want.end(), out.data())) << b << byteOrder << rowOrder;
        EXPECT_TRUE(out.guardsIntact());
      }
}

TEST(StagesStill, FitsALargerRawFrameAndTurnsOnceForBits3And5) {
  StillState st(64, 12, 1, true, true);
  ASSERT_TRUE(st.ctx);
  (*st).settings.processFlags |= PLProcessFlags::kRotate90 | PLProcessFlags::kRotate270;
  const auto raw = testkit::rawFrame<uint8_t>(testkit::Pattern::Gradient, 64, 12, 255, 3);
  const size_t n = turnedFrameBytes<uint8_t>(20, 24, 3);
  const auto want = byHand(*st, raw, 64, 12, 20, 24, n);  // byHand applies bit 3 only
  auto rawCopy = raw;
  Guarded<uint8_t> out(n);
  ASSERT_EQ(PL_ProcessStill8(st.ctx.get(), rawCopy.data(), out.data(), n, 24, 20, 24, 64, 12), 1);
  EXPECT_TRUE(std::equal(want.begin(), want.end(), out.data()));
  EXPECT_TRUE(out.guardsIntact());
}

TEST(StagesStill, RefusalsLeaveTheOutputUntouched) {
  StillState st(8, 8, 0, true, true);
  ASSERT_TRUE(st.ctx);
  auto raw = testkit::rawFrame<uint8_t>(testkit::Pattern::Random, 8, 8, 255, 1);
  const size_t n = rowStride<uint8_t>(3, 8) * 8;
  Guarded<uint8_t> out(n);
  const Guarded<uint8_t> before = out;
  EXPECT_EQ(PL_ProcessStill8(nullptr, raw.data(), out.data(), n, 24, 8, 8, 8, 8), 0);
  EXPECT_EQ(PL_ProcessStill8(st.ctx.get(), raw.data(), out.data(), n, 48, 8, 8, 8, 8), 0);
  EXPECT_EQ(PL_ProcessStill8(st.ctx.get(), raw.data(), out.data(), n - 1, 24, 8, 8, 8, 8), 0);
  EXPECT_EQ(PL_ProcessStill8(st.ctx.get(), raw.data(), out.data(), n, 24, 0, 8, 8, 8), 0);
  // A quarter turn of a non-square still needs room for the turned rows.
  (*st).settings.processFlags |= PLProcessFlags::kRotate270;
  const size_t wide = rowStride<uint8_t>(3, 8) * 5;
  ASSERT_LT(wide, turnedFrameBytes<uint8_t>(8, 5, 3));
  EXPECT_EQ(PL_ProcessStill8(st.ctx.get(), raw.data(), out.data(), wide, 24, 8, 5, 8, 8), 0);
  EXPECT_TRUE(out == before);
}

TEST(StagesStill, VignetteOnAFullHdStill) {
  const int32_t w = 1920, h = 1080;
  StillState st(w, h, 2, true, true);
  ASSERT_TRUE(st.ctx);
  (*st).settings.vignetteEnable = 1, (*st).settings.vignetteAmount = 40;
  const auto raw = testkit::rawFrame<uint8_t>(testkit::Pattern::Random, w, h, 255, 7);
  const size_t n = rowStride<uint8_t>(3, w) * h;
  std::vector<uint8_t> want(n), out(n);
  auto rawCopy = raw;
  rawWb(*st, rawCopy, w, h);
  Demosaic(st.ctx.get(), (*st).callbacks, 2, (*st).colourSites.site.data(), (*st).demosaicStill, w,
           h, rawCopy.data(), want.data());
  const auto v = BuildVignetteTables(w, h, 40, (*st).settings.vignetteMidpoint, nullptr);
  ASSERT_EQ(v->gain.size(), VignetteGainCount(w, h));  // the corner radius has its own gain
  ApplyVignetteBgr(3, want.data(), w, h, v->radius->data(), v->gain.data(),
                   uint32_t(v->gain.size()), 8);
  rawCopy = raw;
  ASSERT_EQ(PL_ProcessStill8(st.ctx.get(), rawCopy.data(), out.data(), n, 24, w, h, w, h), 1);
  EXPECT_EQ(out, want);
}

TEST(StagesStill, OutputTransformsByFormat) {
  const int32_t w = 5, h = 3;
  PLContext16 ctx;
  ctx.samplesPerPixel = 3, ctx.maxWidth = 2, ctx.maxHeight = 2;  // scratch must grow per call
  ctx.settings.mirror = 1, ctx.settings.processFlags = PLProcessFlags::kRotate90;
  const size_t n16 = turnedFrameBytes<uint16_t>(w, h, 3), n8 = turnedFrameBytes<uint8_t>(w, h, 3);
  auto make16 = [&] {
    std::vector<uint16_t> f(n16 / 2);
    for (size_t i = 0; i < f.size(); ++i) f[i] = uint16_t(i * 977);
    return f;
  };
  auto turned16 = [&](std::vector<uint16_t> f) {
    FlipImage16(1, w, h, f.data(), 3);
    std::vector<uint8_t> s(rotateScratchBytes<uint16_t>(w, h, 3));
    RotateCcw16(f.data(), n16, {s.data(), s.size()}, w, h, 3);
    return f;
  };
  // Formats 1 and 4: the first output is 16-bit, the second is not touched.
  ctx.outputFormat = kOutputRgb16;
  auto first = make16(), second = make16();
  ASSERT_TRUE(OutputTransforms16(&ctx, first.data(), n16, second.data(), n16, w, h));
  EXPECT_EQ(first, turned16(make16()));
  EXPECT_EQ(second, make16());
  // Other formats: 8-bit first, 16-bit second (a 16-bit turn after an 8-bit one grows the scratch).
  ctx.outputFormat = kOutputRgb8;
  ctx.rotation.clear();
  std::vector<uint8_t> first8(n8), want8;
  for (size_t i = 0; i < n8; ++i) first8[i] = uint8_t(i * 13);
  want8 = first8;
  FlipImage8(1, w, h, want8.data(), 3);
  std::vector<uint8_t> s(rotateScratchBytes<uint8_t>(w, h, 3));
  RotateCcw8(want8.data(), n8, {s.data(), s.size()}, w, h, 3);
  second = make16();
  ASSERT_TRUE(OutputTransforms16(&ctx, first8.data(), n8, second.data(), n16, w, h));
  EXPECT_EQ(first8, want8);
  EXPECT_EQ(second, turned16(make16()));
  // A short second output is refused, the first still turned.
  second = make16();
  EXPECT_FALSE(OutputTransforms16(&ctx, nullptr, 0, second.data(), n16 - 2, w, h));
}

}  // namespace
}  // namespace stages
