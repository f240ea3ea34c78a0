// Pipeline state: settings persistence in the camera's subkey and creation from parameters.
#include <cmath>
#include <tuple>
#include <utility>

#include "pipeline/store/settings_io.h"
#include "pipeline_kit.h"

using namespace zxtest;

namespace {

class PipelineState : public RegistryTest {};

PLContextPtr make(const PLInitParams& p) {
  return PLContextPtr(PL_Init(&p));
}

std::array<int32_t, 4> corners(const ImageRect& r) {
  return {r.left, r.top, r.right, r.bottom};
}

// The fields a save keeps; the two white-balance words only in temperature/tint mode.
auto savedFields(const PLSettings& s) {
  return std::tie(s.aeEnable, s.aeTarget, s.expoTime, s.expoGain, s.hue, s.saturation, s.brightness,
                  s.contrast, s.gamma, s.mono, s.mirror, s.aePolicy, s.aeThreshold,
                  s.lightFrequency, s.processFlags);
}

class PipelineStateRoundTrip : public RegistryTest,
                               public ::testing::WithParamInterface<std::pair<bool, bool>> {};

TEST_P(PipelineStateRoundTrip, SaveThenLoadRestoresEverySavedField) {
  const auto [tempTint, perResolution] = GetParam();
  auto p = colourParams();
  p.wbTempTint = tempTint, p.perResolutionExposure = perResolution;
  p.resolutionIndex = 2, p.hasLightFrequency = 1, p.hasCG = 1;
  PLSettings saved{};
  const std::array<uint32_t, 3> gains{40, 128, 255};
  {
    auto ctx = make(p);
    ASSERT_TRUE(ctx);
    PLSettings& s = ctx->settings;
    s.aeEnable = 1, s.aeTarget = 99, s.expoTime = 12345, s.expoGain = 321;
    s.wbTemp = 4500, s.wbTint = 1200, s.hue = -30, s.saturation = 200, s.brightness = 7;
    s.contrast = -40, s.gamma = 150, s.mono = 1, s.mirror = 3, s.aePolicy = 2, s.aeThreshold = 12;
    s.lightFrequency = 1;
    s.processFlags =
        PLProcessFlags::withUsm(PLProcessFlags::kNegative | PLProcessFlags::kRotate270 |
                                    PLProcessFlags::kToneMap1 | PLProcessFlags::kCgBit1,
                                250);
    ctx->aeRectPx = {64, 48, 320, 240};
    ctx->awbRectPx = {10, 20, 30, 40};
    ctx->abbRectPx = {100, 200, 300, 400};
    ctx->wbGain = gains;
    saved = s;
  }  // PL_Fini saves
  EXPECT_EQ(has("ExposureTime2"), perResolution);
  EXPECT_EQ(has("ExposureTime"), !perResolution);
  EXPECT_EQ(has("WhiteBalanceTemp"), tempTint);
  EXPECT_EQ(has("WBGainR"), !tempTint);

  auto ctx = make(p);
  ASSERT_TRUE(ctx);
  const PLSettings& s = ctx->settings;
  EXPECT_EQ(ctx->curTime, 12345u);
  EXPECT_EQ(ctx->curGain, 321);
  if (tempTint)
    EXPECT_EQ(std::tie(s.wbTemp, s.wbTint), std::tie(saved.wbTemp, saved.wbTint));
  else
    EXPECT_EQ(ctx->wbGain, gains);
  EXPECT_EQ(savedFields(s), savedFields(saved));
  EXPECT_EQ(corners(ctx->aeRectPx), (std::array<int32_t, 4>{64, 48, 320, 240}));
  EXPECT_EQ(corners(ctx->awbRectPx), (std::array<int32_t, 4>{10, 20, 30, 40}));
  EXPECT_EQ(corners(ctx->abbRectPx), (std::array<int32_t, 4>{100, 200, 300, 400}));
}

// Temperature/tint or RGB gains, one exposure or one per resolution.
INSTANTIATE_TEST_SUITE_P(BothWbModes, PipelineStateRoundTrip,
                         ::testing::Values(std::pair{true, false}, std::pair{true, true},
                                           std::pair{false, false}, std::pair{false, true}));

// Out-of-range values are clamped, values of another type or length read as their default.
TEST_F(PipelineState, StoredValuesAreClampedOrDefaulted) {
  const uint8_t eight[8] = {150};
  enum Kind { Dword, Text, Binary8, Binary4 };
  struct Case {
    const char* name;
    Kind kind;
    uint32_t stored;
    int32_t PLSettings::*field;
    int32_t expected;
  } cases[] = {
      {"AeThreshold", Dword, 30, &PLSettings::aeThreshold, 25},
      {"Gamma", Dword, 10, &PLSettings::gamma, 20},
      {"Hue", Dword, 0xFFFFFF4C, &PLSettings::hue, -180},
      {"Contrast", Dword, 0xFFFFFF00, &PLSettings::contrast, -100},
      {"Saturation", Dword, 0x80000000, &PLSettings::saturation, 0},
      {"Gamma", Text, 0, &PLSettings::gamma, 100},
      {"Contrast", Binary8, 0, &PLSettings::contrast, 0},
      {"Hue", Binary4, 0, &PLSettings::hue, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.kind));
    reg().deleteKey(kCameraKey);
    if (c.kind == Dword) put(c.name, c.stored);
    if (c.kind == Text) reg().writeString(kCameraKey, c.name, ZX_W("150"));
    if (c.kind >= Binary8) reg().writeBinary(kCameraKey, c.name, eight, c.kind == Binary8 ? 8 : 4);
    EXPECT_EQ(make(colourParams())->settings.*c.field, c.expected);
  }
  put("MirrorDirection", 9);
  EXPECT_EQ(make(colourParams())->settings.mirror, 5u);
}

TEST_F(PipelineState, ProcessFlagValues) {
  using namespace PLProcessFlags;
  struct Case {
    const char* name;
    int64_t stored;  // -1: missing
    uint32_t mask;
    uint32_t expected;
  } cases[] = {
      {"ToneMapping", 0, kToneMapMask, 0},          {"ToneMapping", 1, kToneMapMask, kToneMap1},
      {"ToneMapping", -1, kToneMapMask, kToneMap2}, {"Rotate", 45, kRotateMask, 0},
      {"Rotate", 180, kRotateMask, kRotate180},     {"CG", 2, kCgMask, kCgBit1},
      {"USM", 500, kUsmMask, 500u << kUsmShift},    {"USM", 900, kUsmMask, 500u << kUsmShift},
  };
  auto p = colourParams();
  p.hasCG = 1;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.stored));
    reg().deleteKey(kCameraKey);
    if (c.stored >= 0) put(c.name, static_cast<uint32_t>(c.stored));
    EXPECT_EQ(make(p)->settings.processFlags & c.mask, c.expected);
  }
}

// A grey camera is grey whether its values come from the store or in a handed-in block.
TEST_F(PipelineState, GreyCameraIsForcedGreyFromStoreAndBlock) {
  auto p = colourParams();
  p.isColour = 0, p.pixelFormat = 2;
  PLSettings block{};
  PL_SetDefaults(make(p).get(), &block);
  block.hue = 40, block.saturation = 3, block.wbTemp = 3000, block.mono = 0;
  reg().deleteKey(kCameraKey);
  for (auto [name, v] : {std::pair{"Hue", 50u},
                         {"Saturation", 10u},
                         {"MonochromeEnable", 0u},
                         {"WhiteBalanceTemp", 3000u}})
    put(name, v);
  put("BBG2", 5000);
  for (const PLSettings* handed :
       {static_cast<const PLSettings*>(nullptr), &std::as_const(block)}) {
    p.settings = handed;
    const PLSettings s = make(p)->settings;
    EXPECT_EQ(std::tie(s.hue, s.saturation, s.mono, s.wbTemp), std::make_tuple(0, 128, 1u, 6503));
    // From the store: one grey offset for all three channels, cut to a 12-bit format's maximum.
    EXPECT_TRUE(handed || (s.blackOffset[0] == 4095 && s.blackOffset[2] == 4095));
  }
}

TEST_F(PipelineState, RgbGainCameraStoresGainsAsOffsetsFrom128) {
  put("WBGainR", static_cast<uint32_t>(-127));
  put("WBGainB", 300);
  auto p = colourParams();
  p.wbTempTint = 0;
  {
    auto ctx = make(p);
    EXPECT_EQ(ctx->wbGain, (std::array<uint32_t, 3>{1, 128, 255}));
    ctx->wbGain[0] = 255;
  }
  EXPECT_EQ(get("WBGainR"), 127u);
  EXPECT_EQ(get("WBGainB"), 127u);
}

// The AE maximums default to the model's and are stored only once set; a stored time is cut.
TEST_F(PipelineState, AeMaximums) {
  EXPECT_EQ(make(colourParams())->aeGainMax, 5000);
  EXPECT_FALSE(has("AeMaxGain") || has("AeMaxTime"));
  for (uint32_t timeMax : {1000000u, 150000u}) {
    put("AeMaxTime", 200000);
    auto p = colourParams();
    p.timeMax = timeMax;
    EXPECT_EQ(make(p)->aeTimeMax, std::min(200000u, timeMax));
    EXPECT_FALSE(has("AeMaxGain"));
  }
  put("AeMaxGain", 300);
  EXPECT_EQ(make(colourParams())->aeGainMax, 300);
}

// --- Creation -------------------------------------------------------------------------------

TEST_F(PipelineState, BadSizesGiveNoState) {
  for (auto dims : {std::pair{0u, 480u}, std::pair{640u, 0u}, std::pair{70000u, 480u}}) {
    auto p = colourParams(dims.first, dims.second);
    EXPECT_EQ(PL_Init(&p), nullptr);
    EXPECT_EQ(PL_Init16(&p), nullptr);
  }
  EXPECT_EQ(PL_Init(nullptr), nullptr);
  PL_Fini(nullptr);
  PL_Fini16(nullptr);
}

TEST_F(PipelineState, HandedInBlockIsClamped) {
  auto p = colourParams();
  PLSettings block{};
  PL_SetDefaults(make(p).get(), &block);
  reg().deleteKey(kCameraKey);
  block.hue = 300;
  block.abbRect[0] = 7000000;  // left beyond right
  block.levelLow[1] = block.levelHigh[1] = 90;
  block.expoTime = 5, block.expoGain = 60000, block.mirror = 9;
  block.processFlags = PLProcessFlags::withUsm(0, 511);
  block.vignetteAmount = block.vignetteMidpoint = std::nan("");
  block.stepBits = 0xFF;
  block.vignetteEnable = 1;
  p.settings = &block;
  auto ctx = make(p);
  const PLSettings& s = ctx->settings;
  EXPECT_EQ(s.hue, 180);
  EXPECT_EQ(std::tie(s.abbRect[0], s.abbRect[2]), std::make_tuple(4000000, 6000000));
  EXPECT_EQ(std::tie(s.levelLow[1], s.levelHigh[1]), std::make_tuple(uint8_t{0}, uint8_t{255}));
  EXPECT_EQ(std::tie(s.expoTime, ctx->curTime), std::make_tuple(100u, 100u));
  EXPECT_EQ(s.expoGain, 5000);
  EXPECT_EQ(s.mirror, 5u);
  EXPECT_EQ(PLProcessFlags::usmValue(s.processFlags), 500u);
  EXPECT_EQ(std::tie(s.vignetteAmount, s.vignetteMidpoint), std::make_tuple(0.0, 0.125));
  EXPECT_EQ(s.stepBits, 0x3F);  // a new state has no workers: bits 6, 7 clear
  const auto tables = SnapshotTables(*ctx);
  for (const auto& lut : tables.level->lut)
    for (uint32_t v = 0; v < 256; ++v) ASSERT_EQ(lut[v], v);  // 0..255 is the identity
  // An enabled vignette in the block builds its tables at creation.
  ASSERT_TRUE(tables.vignette);
  EXPECT_EQ(tables.vignette->radius->size(), 640u * 480u);
  EXPECT_EQ(tables.vignette->gain.size(), 401u);

  ctx->settings.stepBits = 0xFF;  // a copied block keeps the state's worker bits
  block.stepBits = 0x04;
  CopySettingsBlock(*ctx, block);
  EXPECT_EQ(ctx->settings.stepBits, 0xC4);
}

TEST_F(PipelineState, WindowsScratchAndSitesAtCreation) {
  EXPECT_EQ(corners(make(colourParams(1280, 960))->aeRectPx),
            (std::array<int32_t, 4>{512, 384, 768, 576}));
  struct Case {
    uint32_t fw, fh, pw, ph, outputFormat;
    uint8_t isColour;
    size_t bytes8, bytes16;
  } cases[] = {
      {1280, 960, 640, 480, 0, 1, 3840u * 960, 2u * 3840 * 960},
      {1001, 777, 1001, 776, 0, 1, 3004u * 777, 2u * 3004 * 777},
      {1001, 777, 1001, 776, 3, 1, 1004u * 777, 2u * 1002 * 777},
      {1001, 777, 1001, 776, 4, 0, 0, 2u * 1002 * 777},  // 16-bit grey fitted to the output
      {1001, 777, 1001, 777, 4, 0, 0, 0},
      {640, 480, 640, 480, 0, 1, 0, 2u * 1920 * 480},  // same sizes: none for 8 bits
      {640, 480, 640, 480, 1, 1, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.fw) + " out " + std::to_string(c.outputFormat));
    auto q = colourParams(c.fw, c.fh);
    q.procWidth = c.pw, q.procHeight = c.ph, q.outputFormat = c.outputFormat;
    q.isColour = c.isColour, q.bitDepthCaps[2] = 1;
    auto c8 = make(q);
    PLContext16Ptr c16(PL_Init16(&q));
    ASSERT_TRUE(c8 && c16);
    EXPECT_EQ(c8->scratch.size(), c.bytes8);
    EXPECT_EQ(c16->scratch.size(), c.bytes16);
    EXPECT_EQ(c16->bitDepth, 12);
  }
  for (uint8_t order : {0, 1}) {
    auto q = colourParams();
    q.byteOrder = order;
    const auto sites = make(q)->colourSites;
    const uint8_t red = order ? 2 : 0, blue = order ? 0 : 2;
    // Order 0 is G R / B G; order 1 R G / G B.
    EXPECT_EQ(sites.at(0, 0, 0), 1);
    EXPECT_EQ(sites.at(0, 1, 0), red);
    EXPECT_EQ(sites.at(0, 0, 1), blue);
    EXPECT_EQ(sites.at(1, 0, 0), red);
    EXPECT_EQ(sites.at(1, 1, 1), blue);
    EXPECT_EQ(sites.at(3, 0, 1), red);
  }
}

}  // namespace
