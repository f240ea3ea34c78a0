// Frame steps over a state: demosaic and mono hooks, defect repair by format, hot pixels, tone
// choice and the rotation scratch.
#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "kernels/demosaic.h"
#include "kernels/geometry.h"
#include "kernels/reference/reference.h"
#include "pipeline/stages/defect_repair.h"
#include "pipeline/stages/demosaic.h"
#include "pipeline/stages/orientation.h"
#include "pipeline/stages/tone_choice.h"
#include "tests/pipeline/pipeline_kit.h"

namespace stages {
namespace {

namespace testkit = kernels::testkit;

using testkit::Guarded;
using testkit::Pattern;
namespace reference = kernels::reference;

struct HookCall {
  int calls = 0;
  uint32_t fourcc = 0;
  int32_t w = 0, h = 0;
  const void* raw = nullptr;
  void* out = nullptr;
  uint8_t bits = 0;
  bool takes = true;  // false: as a hook cleared when the frame began, the stage converts itself
};

bool recordHook(uint32_t fourcc, int32_t w, int32_t h, const void* raw, void* out, uint8_t bits,
                void* ctx) {
  auto* c = static_cast<HookCall*>(ctx);
  *c = {c->calls + 1, fourcc, w, h, raw, out, bits, c->takes};
  return c->takes;
}

TEST(StagesDemosaic, StatesLayoutPicksTheKernelOrTheHookTakesOver) {
  PLContext16 ctx;
  zxtest::prepareState(ctx, 14, 4, true, false);
  const auto site = testkit::siteTable(true);
  const auto raw = testkit::rawFrame<uint16_t>(Pattern::Random, 23, 9, 16383, 9);
  Guarded<uint16_t> want(reference::stride<uint16_t>(4, 23) * 9), out(want.size());
  reference::ahd<uint16_t>(true, 2, site.data(), 23, 9, raw.data(), want.data(), 14, 4, 0);
  Demosaic16(&ctx, ctx.callbacks, 2, site.data(), 3, 23, 9, raw.data(), out.data());
  EXPECT_TRUE(out == want);
  HookCall call;
  ctx.callbacks.demosaicCallback = recordHook;
  ctx.callbacks.demosaicCallbackContext = &call;
  Guarded<uint16_t> hooked(want.size());
  const Guarded<uint16_t> before = hooked;
  Demosaic16(&ctx, ctx.callbacks, 1, site.data(), 0, 23, 9, raw.data(), hooked.data());
  EXPECT_EQ(call.calls, 1);
  EXPECT_EQ(call.fourcc, kernels::BayerFourCC(1));
  EXPECT_EQ(std::tie(call.w, call.h, call.raw, call.out, call.bits),
            std::make_tuple(23, 9, static_cast<const void*>(raw.data()),
                            static_cast<void*>(hooked.data()), uint8_t(14)));
  EXPECT_TRUE(hooked == before);  // no border filled behind the hook's back
  call.takes = false;
  Demosaic16(&ctx, ctx.callbacks, 2, site.data(), 3, 23, 9, raw.data(), hooked.data());
  EXPECT_TRUE(hooked == want) << "a declined frame was left unwritten";
}

TEST(StagesMono, SpreadsInTheStatesRowOrderOrHandsTheFrameToTheHook) {
  PLContext16 ctx16;
  zxtest::prepareState(ctx16, 12, 3, false, false);
  const auto raw16 = testkit::rawFrame<uint16_t>(Pattern::Random, 7, 5, 4095, 3);
  Guarded<uint16_t> out16(reference::stride<uint16_t>(3, 7) * 5), want16 = out16;
  ConvertMono16(&ctx16, ctx16.callbacks, 7, 5, raw16.data(), out16.data());
  reference::convertMono<uint16_t>(false, 3, 7, 5, raw16.data(), want16.data());
  EXPECT_TRUE(out16 == want16);
  PLContext ctx;
  zxtest::prepareState(ctx, 8, 3, false, true);
  HookCall call;
  ctx.callbacks.demosaicCallback = recordHook;
  ctx.callbacks.demosaicCallbackContext = &call;
  std::vector<uint8_t> raw(16, 1);
  Guarded<uint8_t> out(48);
  const Guarded<uint8_t> before = out;
  ConvertMono(&ctx, ctx.callbacks, 4, 4, raw.data(), out.data());
  EXPECT_EQ(call.fourcc, kMonoFourCC);
  EXPECT_TRUE(out == before);
  call.takes = false;
  Guarded<uint8_t> want(48);
  reference::convertMono<uint8_t>(true, 3, 4, 4, raw.data(), want.data());
  ConvertMono(&ctx, ctx.callbacks, 4, 4, raw.data(), out.data());
  EXPECT_TRUE(out == want) << "a declined frame was left unwritten";
}

// A w x h frame whose sample at (x, y) is 10 y + x (small frames only).
std::vector<uint8_t> indexed(int32_t w, int32_t h) {
  std::vector<uint8_t> f(size_t(w) * h);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) f[size_t(y) * w + x] = uint8_t(10 * y + x);
  return f;
}

// Raw formats by the colour flag, packed ones to the byte repair, others untouched.
TEST(StagesDefectRepair, ByPixelFormatAndColour) {
  const int32_t w = 6, h = 6;
  const DefectPixel e{2, 2, 1};
  PLContext ctx;
  for (auto [format, colour, want] :
       {std::tuple{0, 1, (2 + 42 + 20 + 24) >> 2}, std::tuple{10, 0, (12 + 32 + 21 + 23) >> 2},
        std::tuple{5, 1, 22}, std::tuple{7, 0, 22}}) {
    ctx.pixelFormat = uint8_t(format), ctx.isColour = uint8_t(colour);
    auto f = indexed(w, h);
    FixDefectPixels(&ctx, 1, &e, w, h, f.data(), nullptr);
    EXPECT_EQ(f[2 * w + 2], want) << format;
  }
  std::vector<uint16_t> f16(w * h, 1000);
  f16[2 * w + 2] = 60000;
  PLContext16 ctx16;
  ctx16.pixelFormat = 2, ctx16.isColour = 1;
  FixDefectPixels16(&ctx16, 1, &e, w, h, f16.data(), nullptr);
  EXPECT_EQ(f16[2 * w + 2], 1000);
}

TEST(StagesDefectRepair, HotPixelsReachTwoSitesOnColourOneOnMono) {
  PLContext ctx;
  ctx.hotPixels = {{2, 2}};
  for (auto [colour, want] : {std::pair{1, (2 + 42 + 20 + 24) >> 2}, std::pair{0, 22}}) {
    ctx.isColour = uint8_t(colour);
    auto f = indexed(6, 6);
    ApplyDefectList(6, 6, f.data(), &ctx);
    EXPECT_EQ(f[2 * 6 + 2], want) << colour;
  }
  PLContext16 ctx16;
  ctx16.hotPixels = {{1, 1}};
  std::vector<uint16_t> m = {0, 8, 0, 16, 999, 24, 0, 40, 0};
  ApplyDefectList16(3, 3, m.data(), &ctx16);
  EXPECT_EQ(m[4], (8 + 40 + 16 + 24) >> 2);
  ctx.hotPixels = {{1, 1}};
  std::vector<uint8_t> bmp(3 * 3 * 3, 0);
  for (int c = 0; c < 3; ++c) bmp[1 * 3 + c] = uint8_t(4 * (c + 1)), bmp[4 * 3 + c] = 255;
  ApplyDefectListBmp(3, 3, bmp.data(), &ctx);
  for (int c = 0; c < 3; ++c) EXPECT_EQ(bmp[4 * 3 + c], c + 1);
}

TEST(StagesTone, SelectionByBitsDepthAndCameraTable) {
  PLContext16 ctx;
  PLTableSets<uint16_t> tables;
  auto computed = std::make_shared<ToneTableSet<uint16_t>>();
  computed->lut.assign(65536, 7);
  tables.tone = computed;
  ctx.settings.processFlags = PLProcessFlags::kToneMap1;
  for (auto [bits, count] : {std::pair{12, 4096u}, std::pair{10, 1024u}, std::pair{14, 16384u},
                             std::pair{11, 65536u}, std::pair{16, 65536u}})
    EXPECT_EQ(SelectToneLut(ctx, tables, uint8_t(bits)).count, count) << bits;
  ctx.settings.processFlags = PLProcessFlags::kToneMap2;
  EXPECT_EQ(SelectToneLut(ctx, tables, 12).table, computed->lut.data());
  auto camera = std::make_shared<ToneTableSet<uint16_t>>();
  camera->lut = {1, 2, 3};
  tables.cameraTone = camera;
  for (const uint32_t flags : {PLProcessFlags::kToneMap1, PLProcessFlags::kToneMap2}) {
    ctx.settings.processFlags = flags;
    EXPECT_EQ(SelectToneLut(ctx, tables, 12).table, camera->lut.data()) << flags;
  }
  ctx.settings.processFlags = 0;
  EXPECT_FALSE(SelectToneLut(ctx, tables, 12));
  PLContext ctx8;
  PLTableSets<uint8_t> tables8;
  ctx8.settings.processFlags = PLProcessFlags::kToneMap1;
  EXPECT_EQ(SelectToneLut(ctx8, tables8, 8).table, kernels::BuiltInToneLut8().table);
  EXPECT_FALSE(SelectToneLut(ctx8, tables8, 10));  // the 8-bit state answers depth 8 only
}

TEST(StagesRotation, ScratchGrowsPastTheStatesSizes) {
  PLContext ctx;
  ctx.maxWidth = 1280, ctx.maxHeight = 960, ctx.samplesPerPixel = 3;
  const RotateScratch small = EnsureRotateBuffer8(&ctx, 64, 48, 3);
  // First use: the largest frame of the state.
  EXPECT_GE(small.bytes, kernels::turnedFrameBytes<uint8_t>(1280, 960, 3));
  const int32_t w = 4096, h = 3288;
  const size_t n = kernels::turnedFrameBytes<uint8_t>(w, h, 3);
  std::vector<uint8_t> img(n);
  for (size_t i = 0; i < n; ++i) img[i] = uint8_t(i * 7 + (i >> 12));
  const std::vector<uint8_t> orig = img;
  ASSERT_TRUE(kernels::RotateCw8(img.data(), n, EnsureRotateBuffer8(&ctx, w, h, 3), w, h, 3));
  ASSERT_TRUE(kernels::RotateCcw8(img.data(), n, EnsureRotateBuffer8(&ctx, h, w, 3), h, w, 3));
  EXPECT_EQ(0, std::memcmp(img.data(), orig.data(), kernels::rowStride<uint8_t>(3, w) * h));
  // An impossible request leaves the old scratch in place and reports nothing usable.
  EXPECT_EQ(EnsureRotateBuffer(&ctx, ~size_t{0}).data, nullptr);
  EXPECT_GE(ctx.rotation.size(), kernels::rotateScratchBytes<uint8_t>(w, h, 3));
}

}  // namespace
}  // namespace stages
