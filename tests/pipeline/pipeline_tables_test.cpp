// Tone, white-balance, hue/saturation, level, window and vignette tables.
#include <algorithm>
#include <cmath>
#include <span>
#include <tuple>
#include <vector>

#include "kernels/colour_steps.h"
#include "pipeline/pl_tables.h"
#include "pipeline/pl_vignette.h"
#include "pipeline/pl_windows.h"
#include "pipeline/algorithms/tone_curve.h"
#include "pipeline_kit.h"

using namespace zxtest;

namespace {

class PipelineTables : public RegistryTest {
 protected:
  PLContextPtr make(PLInitParams p = colourParams()) {
    p.regKey = nullptr;  // these tests persist nothing
    return PLContextPtr(PL_Init(&p));
  }
};

std::vector<uint8_t> tone8(int32_t c, int32_t b, int32_t g) {
  std::vector<uint8_t> t(256);
  CalcToneCurveLut<uint8_t>(t, 8, c, b, g);
  return t;
}

// Worked points of the curve: contrast, brightness and gamma, each alone.
TEST(PipelineToneCurve, WorkedPoints) {
  for (uint32_t v = 0; v < 256; ++v) ASSERT_EQ(tone8(0, 0, 100)[v], v);  // neutral: identity
  const struct {
    int32_t contrast, brightness, gamma;
    uint32_t v, want;
  } table[] = {
      {0, 10, 100, 235, 255},   {0, 10, 100, 255, 255},  // brightness up: 235 and above are white
      {0, 10, 100, 234, 253},                            // 255 x 234 / 235 = 253.9
      {0, 10, 100, 100, 108},                            // 255 x 100 / 235 = 108.5
      {0, -10, 100, 255, 235},  {0, -10, 100, 0, 0},
      {0, -10, 100, 128, 118},   // -20 x 128 / 255 = -10.04, toward zero -10
      {0, 0, 50, 64, 127},       // sqrt: 255 x sqrt(64 / 255) = 127.75
      {50, 0, 100, 100, 94},     // y = v + (v - 128) x 50 / 255 = 94.5: toward mid-grey's far side
      {50, 0, 100, 10, 0},       // below zero
      {100, 0, 100, 200, 228},   // 200 + 72 x 100 / 255 = 228.2: contrast widens
      {-100, 0, 100, 200, 171},  // 200 - 28.2: and narrows
  };
  for (const auto& r : table)
    EXPECT_EQ(tone8(r.contrast, r.brightness, r.gamma)[r.v], r.want)
        << r.contrast << " " << r.brightness << " " << r.gamma << " at " << r.v;
  // Neutral is the identity at every depth; contrast turns about the depth's own mid-grey.
  std::vector<uint16_t> t12(4096);
  CalcToneCurveLut<uint16_t>(t12, 12, 0, 0, 100);
  for (uint32_t v = 0; v < 4096; ++v) ASSERT_EQ(t12[v], v);
  CalcToneCurveLut<uint16_t>(t12, 12, 50, 0, 100);
  EXPECT_EQ(t12[3000], 3186);  // 3000 + 952 x 50 / 255 = 3186.7
  EXPECT_EQ(t12[2048], 2048);
  // A table too short for its depth is left alone, not written past its end.
  std::vector<uint16_t> longer(4096, 0xAAAA);
  CalcToneCurveLut<uint16_t>(std::span<uint16_t>(longer.data(), 4095), 12, 0, 0, 100);
  EXPECT_EQ(std::count(longer.begin(), longer.end(), 0xAAAA), 4096);
  // The filmic curve rises from black to white.
  std::vector<uint8_t> t(256);
  ToneMapLut<uint8_t>(0.5, 1.0, 1.0, 0, t);
  EXPECT_EQ(t[255], 255);
  for (uint32_t i = 1; i < 256; ++i) ASSERT_GE(t[i], t[i - 1]);
  std::vector<uint8_t> degenerate(256);
  ToneMapLut<uint8_t>(0.5, 1.0, 0.0, 0, degenerate);  // x0 = 0: log10(0), no NaN reaches a cast
  EXPECT_EQ(degenerate[255], 255);
}

struct HandedTone {
  bool wide = false;  // 16-bit entries
  std::vector<uint32_t> lut;
};

void keepTone(const void* lut, uint32_t bits, void* context) {
  auto* h = static_cast<HandedTone*>(context);
  h->lut.resize(size_t{1} << bits);
  for (size_t v = 0; v < h->lut.size(); ++v)
    h->lut[v] =
        h->wide ? static_cast<const uint16_t*>(lut)[v] : static_cast<const uint8_t*>(lut)[v];
}

// The processor's table is the neutral curve (the identity at 8 bits) under the tone mapping the
// software step would choose: none with both tone bits clear, the built-in table with bit 7, the
// computed curve with bit 8. Deep: an 8-bit state on a 12-bit sensor hands over a 12-bit table.
TEST_F(PipelineTables, ProcessorToneTableFollowsTheToneChoice) {
  namespace F = PLProcessFlags;
  enum class Base { None, BuiltIn, Curve };
  const struct {
    const char* name;
    bool highState, deepSensor;
    uint32_t toneBits;
    Base base;
  } table[] = {
      {"8-bit, off", false, false, 0, Base::None},
      {"8-bit, built-in", false, false, F::kToneMap1, Base::BuiltIn},
      {"8-bit, both bits", false, false, F::kToneMapMask, Base::BuiltIn},
      {"8-bit, computed", false, false, F::kToneMap2, Base::Curve},
      {"deep, off", false, true, 0, Base::None},
      {"deep, built-in", false, true, F::kToneMap1, Base::BuiltIn},
      {"deep, computed", false, true, F::kToneMap2, Base::Curve},
      {"high-bit, off", true, true, 0, Base::None},
      {"high-bit, built-in", true, true, F::kToneMap1, Base::BuiltIn},
      {"high-bit, computed", true, true, F::kToneMap2, Base::Curve},
  };
  for (const auto& r : table) {
    SCOPED_TRACE(r.name);
    const uint8_t bits = r.deepSensor ? 12 : 8;
    std::vector<uint16_t> curve(size_t{1} << bits);
    CalcToneCurveLut<uint16_t>(curve, bits, 0, 0, 100);
    const auto builtIn8 = kernels::BuiltInToneLut8();
    const auto builtIn12 = kernels::BuiltInToneLut16(12);
    auto want = [&](uint32_t v) -> uint32_t {
      const uint32_t c = curve[v];
      if (r.base == Base::Curve) return curve[c];
      if (r.base == Base::None) return c;
      return bits == 8 ? builtIn8.table[c] : builtIn12.table[c];
    };
    auto p = colourParams();
    p.regKey = nullptr, p.hasIsp = 1, p.hasToneMapping = 1;
    if (r.deepSensor) p.bitDepthCaps[2] = 1;  // 12 bits
    HandedTone handed;
    handed.wide = r.deepSensor;
    auto update = [&](auto& ctx) {
      ctx.callbacks.hwToneLut = keepTone, ctx.callbacks.hwContext = &handed;
      ctx.settings.processFlags = (ctx.settings.processFlags & ~F::kToneMapMask) | r.toneBits;
      PL_UpdateToneCurve(&ctx);
    };
    if (r.highState)
      update(*PLContext16Ptr(PL_Init16(&p)));
    else
      update(*make(p));
    ASSERT_EQ(handed.lut.size(), curve.size());
    for (uint32_t v = 0; v < curve.size(); ++v) ASSERT_EQ(handed.lut[v], want(v)) << "at " << v;
  }
}

TEST_F(PipelineTables, WhiteBalance) {
  auto ctx = make();
  ctx->wbGain = {256, 256, 256};
  PL_UpdateWbLut(ctx.get());
  EXPECT_FALSE(SnapshotTables(*ctx).wb->active);
  EXPECT_FALSE(ctx->wbLutActive);

  ctx->wbGain = {128, 256, 128};
  PL_UpdateWbLut(ctx.get());
  const auto wb = SnapshotTables(*ctx).wb;
  EXPECT_TRUE(wb->active);
  for (uint32_t v : {0u, 1u, 100u, 127u}) EXPECT_EQ(wb->lut[1][v], 2 * v);
  for (uint32_t v : {128u, 200u, 255u}) EXPECT_EQ(wb->lut[1][v], 255);
  EXPECT_EQ(wb->lut[0][77], 77);
  EXPECT_EQ(wb->lut[2][255], 255);
}

TEST_F(PipelineTables, HueAndSaturation) {
  auto ctx = make();
  const auto hs = SnapshotTables(*ctx).colour;  // hue 0, saturation 128
  for (int i = 0; i < 9; ++i) EXPECT_NEAR(hs->hueSatMatrix[i], i % 4 == 0 ? 1.0 : 0.0, 1e-9);

  const int32_t grey[3] = {0, 0, 0};
  EXPECT_EQ(PL_SetHSB(ctx.get(), grey), 1);
  const auto g = SnapshotTables(*ctx).colour;
  for (int row = 0; row < 3; ++row) {
    EXPECT_NEAR(g->hueSatMatrix[3 * row], 0.299, 1e-12);
    EXPECT_NEAR(g->hueSatMatrix[3 * row + 1], 0.587, 1e-12);
    EXPECT_NEAR(g->hueSatMatrix[3 * row + 2], 0.114, 1e-12);
    EXPECT_EQ(g->coef[3 * row], 4898);  // 16384 x 0.299 = 4898.8
    EXPECT_EQ(g->coef[3 * row + 1], 9617);
    EXPECT_EQ(g->coef[3 * row + 2], 1867);
  }
  EXPECT_EQ(g->coefTables[0][255], 255 * 4898);

  const int32_t wild[3] = {500, 999, -99};
  PL_SetHSB(ctx.get(), wild);
  EXPECT_EQ(ctx->settings.hue, 180);
  EXPECT_EQ(ctx->settings.saturation, 255);
  EXPECT_EQ(ctx->settings.brightness, -64);
  EXPECT_EQ(PL_SetHSB<uint8_t>(nullptr, wild), 0);
}

TEST_F(PipelineTables, HighBitCoefficientTablesSaturate) {
  auto p = colourParams();
  p.regKey = nullptr;
  p.bitDepthCaps[4] = 1;  // 16 bits
  PLContext16Ptr ctx(PL_Init16(&p));
  ctx->colourMatrix = {3, 0, 0, 0, 3, 0, 0, 0, 3};
  const int32_t hsb[3] = {0, 255, 0};
  PL_SetHSB16(ctx.get(), hsb);
  const auto c = SnapshotTables(*ctx).colour;
  EXPECT_GT(int64_t{c->coef[0]} * 65535, INT32_MAX);
  EXPECT_EQ(c->coefTables[0][65535], INT32_MAX);
}

// A 12-bit state's tables have 65536 entries: a stray sample above 4095 (a sensor's overshoot)
// must read the top entry, not zero.
TEST_F(PipelineTables, HighBitTablesRepeatTheirTopEntryAboveTheDepth) {
  auto p = colourParams();
  p.regKey = nullptr;
  p.bitDepthCaps[2] = 1;  // 12 bits
  PLContext16Ptr ctx(PL_Init16(&p));
  ASSERT_EQ(ctx->bitDepth, 12);
  ctx->settings.gamma = 60, ctx->settings.contrast = 40;
  ctx->wbGain[0] = ctx->wbGain[0] * 3 / 2;
  PL_UpdateToneCurve(ctx.get());
  PL_UpdateWbLut(ctx.get());
  PL_UpdateLevelLut(ctx.get());
  const auto t = SnapshotTables(*ctx);
  std::vector<const std::vector<uint16_t>*> tables = {&t.tone->lut};
  for (const auto& l : t.wb->lut) tables.push_back(&l);
  for (const auto& l : t.level->lut) tables.push_back(&l);
  for (const auto* table : tables) {
    ASSERT_EQ(table->size(), 65536u);
    for (size_t v = 4096; v < table->size(); v += 97) ASSERT_EQ((*table)[v], (*table)[4095]) << v;
  }
}

TEST_F(PipelineTables, Levels) {
  for (uint8_t order : {0, 1}) {
    SCOPED_TRACE(order);
    auto p = colourParams();
    p.byteOrder = order;
    auto ctx = make(p);
    const uint8_t low[4] = {16, 20, 30, 40}, high[4] = {235, 255, 255, 255};
    PL_ApplyLevelRange(ctx.get(), low, high);
    const auto lv = SnapshotTables(*ctx).level;
    // Channel 0 (16..235) sits at table 1 in R, G, B order and at table 3 in B, G, R order.
    const auto& ch0 = lv->lut[order ? 3 : 1];
    // 100: 84 x 255 / 219 = 97.8
    EXPECT_EQ(std::tie(ch0[16], ch0[100], ch0[235], ch0[240]), std::make_tuple(0, 97, 255, 255));
    EXPECT_EQ(lv->lut[0][40], 0);  // table 0 is channel 3 either way
    EXPECT_EQ(lv->lut[0][41], 1);
    EXPECT_EQ(lv->lut[order ? 1 : 3][30], 0);  // channel 2
  }
  auto ctx = make();
  const uint8_t low[4] = {255, 9, 9, 9}, high[4] = {0, 9, 200, 200};
  PL_ApplyLevelRange(ctx.get(), low, high);
  EXPECT_EQ(ctx->settings.levelLow[0], 0);
  EXPECT_EQ(ctx->settings.levelHigh[0], 255);
  EXPECT_EQ(ctx->settings.levelLow[1], 0);
  EXPECT_EQ(ctx->settings.levelLow[2], 9);
}

// An empty or reversed range is the whole range; a proper one stretches to 0..255.
TEST_F(PipelineTables, LevelTablesOfAnEmptyRangeAreTheIdentity) {
  const struct {
    uint8_t low, high;
    uint32_t v, want;
  } table[] = {{100, 100, 50, 50}, {100, 100, 150, 150}, {200, 100, 150, 150},
               {255, 0, 7, 7},     {16, 235, 100, 97},   {16, 235, 10, 0}};
  for (const auto& r : table) {
    auto ctx = make();
    for (int n = 0; n < 4; ++n)
      ctx->settings.levelLow[n] = r.low, ctx->settings.levelHigh[n] = r.high;
    PL_UpdateLevelLut(ctx.get());
    const auto lv = SnapshotTables(*ctx).level;
    for (int t = 0; t < 4; ++t)
      EXPECT_EQ(lv->lut[t][r.v], r.want) << int(r.low) << ".." << int(r.high) << " table " << t;
  }
}

// The centre fifth that windows start from: far edges w/5 + 2w/5, on 1002 one short of 3w/5.
TEST(PipelineWindows, CentreFifth) {
  const struct {
    uint32_t w, h;
    ImageRect want;
  } table[] = {{640, 480, {256, 192, 384, 288}},
               {1002, 1002, {400, 400, 600, 600}},
               {1004, 7, {401, 2, 601, 3}}};
  auto edges = [](const ImageRect& e) { return std::make_tuple(e.left, e.top, e.right, e.bottom); };
  for (const auto& r : table)
    EXPECT_EQ(edges(CentreFifth(r.w, r.h)), edges(r.want)) << r.w << "x" << r.h;
}

TEST(PipelineWindows, FractionsAndPixels) {
  const int32_t full[4] = {10000000, 10000000, 0, 0};
  const ImageRect r = FractionToRect(640, 480, full);  // right to left is swapped
  EXPECT_EQ(std::tie(r.left, r.top, r.right, r.bottom), std::make_tuple(0, 0, 639, 479));

  const auto f = RectToFraction(4096, 4096, ImageRect{4095, 0, 4095, 2048});
  EXPECT_EQ(f[0], 9997559);  // (4095 x 10^7 + 2048) / 4096, beyond 32 bits on the way
  EXPECT_EQ(f[3], 5000000);
  const ImageRect back = FractionToRect(4096, 4096, f.data());
  EXPECT_EQ(back.left, 4095);
  EXPECT_EQ(back.bottom, 2048);

  EXPECT_EQ(RectToFraction(0, 0, ImageRect{1, 2, 3, 4}), (std::array<int32_t, 4>{0, 0, 0, 0}));
  const ImageRect none = FractionToRect(0, 0, full);
  EXPECT_EQ(none.right, 0);
  const int32_t negative[4] = {-5, 0, 10000000, 10000000};
  EXPECT_EQ(FractionToRect(640, 480, negative).left, 0);
}

// Every radius indexes the gain table (the corner of 640 x 480 lies at exactly 400); gains follow
// the amount, and a set of the same size shares the radius table.
TEST(PipelineVignette, RadiiAndGains) {
  const std::pair<uint32_t, uint32_t> sizes[] = {
      {640, 480}, {1280, 960}, {1920, 1080}, {4096, 3288}, {1001, 777}};
  for (const auto& [w, h] : sizes) {
    SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
    const auto set = BuildVignetteTables(w, h, 0.0, 0.125, nullptr);
    ASSERT_EQ(set->gain.size(), VignetteGainCount(w, h));
    EXPECT_LT(size_t(*std::max_element(set->radius->begin(), set->radius->end())),
              set->gain.size());
    for (double g : set->gain) ASSERT_EQ(g, 1.0);  // amount 0
  }
  EXPECT_EQ(VignetteGainCount(640, 480), 401u);
  const auto up = BuildVignetteTables(640, 480, 0.5, 0.0, nullptr);
  const double c = std::cos(0.5);
  EXPECT_NEAR(up->gain[400], 1.0 / (c * c * c * c), 1e-12);
  EXPECT_NEAR(up->gain[0], 1.0, 1e-12);
  const auto down = BuildVignetteTables(640, 480, -0.5, 0.0, up);
  EXPECT_NEAR(down->gain[400], c * c * c * c, 1e-12);
  EXPECT_EQ(down->radius, up->radius);
}

}  // namespace
