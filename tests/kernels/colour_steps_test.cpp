// Stripe steps: vignette, colour adjustment by table row, levels, tone choice and built-in curves.
#include <gtest/gtest.h>

#include <numeric>

#include "kernels/colour_steps.h"
#include "kernels/reference/reference.h"
#include "tests/kernels/kit.h"

namespace kernels {
namespace {

using testkit::Guarded;

// --- Vignette -------------------------------------------------------------------------------

TEST(KernelsVignette, GainOneIsNearlyIdentityAndGainsScaleLuma) {
  struct Row {
    double gain;
    uint8_t in, out;
  };
  for (const Row r : {Row{1.0, 100, 99}, Row{1.0, 255, 254}, Row{1.0, 0, 0}, Row{1.5, 100, 159}}) {
    std::vector<uint8_t> px(4, r.in);
    const int32_t radius[1] = {0};
    ApplyVignetteBgr(3, px.data(), 1, 1, radius, &r.gain, 1, 8);
    EXPECT_EQ(px[0], r.out) << r.gain << " " << int(r.in);
    EXPECT_EQ(px[1], r.out);
    EXPECT_EQ(px[2], r.out);
  }
}

// Radii below 0 and past the gain count (the vector is exactly that long: ASan) read the ends;
// one sample a pixel is the grey pixel's first byte.
TEST(KernelsVignette, MatchesReference) {
  testkit::Rng rng(11);
  std::vector<double> gain(40);
  for (auto& g : gain) g = 0.5 + rng.below(2000) / 1000.0;
  for (uint8_t p : {1, 3, 4})
    for (bool bgr : {false, true}) {
      const int32_t w = 13, rows = 5;
      std::vector<int32_t> radius(size_t(w) * rows);
      for (auto& r : radius) r = int32_t(rng.below(50)) - 5;
      Guarded<uint16_t> img(reference::stride<uint16_t>(p, w) * rows);
      for (size_t i = 0; i < img.size(); ++i) img[i] = uint16_t(rng.below(20000));
      Guarded<uint16_t> want = img;
      (bgr ? ApplyVignette16Bgr : ApplyVignette16Rgb)(p, img.data(), w, rows, radius.data(),
                                                      gain.data(), 40, 14);
      reference::vignette<uint16_t>(bgr, p, want.data(), w, rows, radius.data(), gain.data(), 40,
                                    14);
      EXPECT_TRUE(img == want) << int(p) << bgr;
    }
}

// --- Colour adjustment ----------------------------------------------------------------------

template <typename S>
struct ColourFixture {
  static constexpr uint32_t kMax = sizeof(S) == 1 ? 255 : 4095;
  std::vector<double> lumaR, lumaG, lumaB;
  std::vector<S> tone;  // T[v] = max - v marks every lookup
  std::array<int32_t, 9> swapRedBlue = {0, 0, 16384, 0, 16384, 0, 16384, 0, 0};
  std::array<double, 9> hueSat = {0.5, 0.5, 0.5, 0, 0, 0, 0, 0, 0};
  ColourFixture() {
    constexpr uint32_t n = sizeof(S) == 1 ? 256 : 65536;
    lumaR.resize(n), lumaG.resize(n), lumaB.resize(n), tone.resize(n);
    for (uint32_t v = 0; v < n; ++v) {
      lumaR[v] = v * 0.299, lumaG[v] = v * 0.587, lumaB[v] = v * 0.114;
      tone[v] = S(v <= kMax ? kMax - v : 0);
    }
  }
  ColourAdjust<S> args() const {
    ColourAdjust<S> a;
    a.lumaR = lumaR.data(), a.lumaG = lumaG.data(), a.lumaB = lumaB.data();
    a.hueSat = hueSat.data(), a.tone = tone.data(), a.coef = swapRedBlue.data();
    a.bits = sizeof(S) == 1 ? 8 : 12;
    return a;
  }
};

template <typename S>
void adjust(bool bgr, const ColourAdjust<S>& a, S* px, int32_t w, int32_t rows) {
  if constexpr (sizeof(S) == 1)
    (bgr ? AdjustColorBgr : AdjustColorRgb)(a, px, w, rows);
  else
    (bgr ? AdjustColor16Bgr : AdjustColor16Rgb)(a, px, w, rows);
}

// The reference's reading of the software path's arguments (no hardware colour).
reference::ColourArgs<uint8_t> colourReference(const ColourAdjust<uint8_t>& a) {
  return {bool(a.mono), false,        false,        bool(a.matrixOn), a.lumaR,    a.lumaG,
          a.lumaB,      a.hueSat,     a.tone,       a.coef,           a.contrast, a.gamma,
          a.hue,        a.saturation, a.brightness, a.bits,           a.p};
}

// Pixel (R 10, G 20, B 30): Y = trunc(2.99 + 11.74 + 3.42) = 18; matrix swaps red and blue.
template <typename S>
void tableRows() {
  const ColourFixture<S> f;
  constexpr uint32_t m = ColourFixture<S>::kMax;
  struct Row {
    const char* name;
    uint8_t hw, sw, mono, matrixOn;
    int32_t contrast, hue;
    std::array<uint32_t, 3> rgb;
  };
  const Row rows[] = {
      {"neutral untouched", 0, 0, 0, 0, 0, 0, {10, 20, 30}},
      {"matrix", 0, 0, 0, 1, 0, 0, {30, 20, 10}},
      {"tone", 0, 1, 0, 0, 10, 0, {m - 10, m - 20, m - 30}},
      {"matrix then tone", 0, 0, 0, 1, 10, 0, {m - 30, m - 20, m - 10}},
      {"mono plain hue", 0, 0, 1, 1, 0, 0, {m - 18, m - 18, m - 18}},
      {"mono with hue", 0, 0, 1, 0, 0, 5, {m - 27, m - 27, m - 27}},
      {"hardware colour", 1, 0, 0, 1, 10, 5, {10, 20, 30}},
      {"hardware colour mono", 1, 0, 1, 1, 10, 5, {18, 18, 18}},
      {"hardware, software tone", 1, 1, 0, 1, 0, 5, {m - 10, m - 20, m - 30}},
      {"hardware, software tone, mono", 1, 1, 1, 1, 0, 5, {m - 18, m - 18, m - 18}},
  };
  for (const Row& r : rows)
    for (bool bgr : {false, true}) {
      ColourAdjust<S> a = f.args();
      a.hwColour = r.hw, a.swTone = r.sw, a.mono = r.mono, a.matrixOn = r.matrixOn;
      a.contrast = r.contrast, a.hue = r.hue;
      S px[4] = {S(bgr ? 30 : 10), 20, S(bgr ? 10 : 30), 0x7B};
      adjust(bgr, a, px, 1, 1);
      const uint32_t red = px[bgr ? 2 : 0], blue = px[bgr ? 0 : 2];
      EXPECT_EQ((std::array<uint32_t, 3>{red, px[1], blue}), r.rgb)
          << r.name << (bgr ? " bgr" : " rgb");
      EXPECT_EQ(px[3], 0x7B);
    }
}

TEST(KernelsAdjustColor, EachTableRow) {
  tableRows<uint8_t>();
  tableRows<uint16_t>();
}

TEST(KernelsAdjustColor, FixedPointEdges) {
  ColourFixture<uint16_t> f;
  ColourAdjust<uint16_t> a = f.args();
  a.matrixOn = 1, a.bits = 16;
  // Red from red at 3.0: 65535 x 49152 wraps a 32-bit product; the 64-bit sum clamps to max.
  std::array<int32_t, 9> strong = {3 * 16384, 0, 0, 0, 16384, 0, -16384, 0, 0};
  a.coef = strong.data();
  uint16_t px[3] = {65535, 0, 0};
  AdjustColor16Rgb(a, px, 1, 1);
  EXPECT_EQ(px[0], 65535);
  EXPECT_EQ(px[2], 0);  // a negative sum gives 0
  // Mono grey 128 enters the tone table at 127 (the luma sum lies just below 128); 100 stays.
  ColourFixture<uint8_t> f8;
  std::vector<uint8_t> identity(256);
  std::iota(identity.begin(), identity.end(), 0);
  ColourAdjust<uint8_t> m = f8.args();
  m.mono = 1, m.tone = identity.data();
  uint8_t grey[6] = {128, 128, 128, 100, 100, 100};
  AdjustColorRgb(m, grey, 2, 1);
  EXPECT_EQ((std::vector<uint8_t>(grey, grey + 6)),
            (std::vector<uint8_t>{127, 127, 127, 100, 100, 100}));
}

// Every instruction set against the reference: matrix, matrix then tone, and tone alone on odd
// widths around the vector blocks, both byte orders, three and four samples, 8 and 6 bits
// (below 8 bits, against the scalar path).
// The coefficient sets reach the 16-bit edges, the largest a 32-bit lane holds and past what it
// can (there the kernel must fall back to 64-bit sums).
TEST(KernelsAdjustColor, VectorBlocksMatchReference) {
  ColourFixture<uint8_t> f;
  constexpr int32_t kLane = 1 << 21;
  const std::array<std::array<int32_t, 9>, 8> coefSets = {{
      {20000, -3000, 500, -1000, 17000, 100, 900, -6000, 21000},
      {24903, -6226, -2294, -3932, 23101, -2785, 328, -9011, 25067},  // a camera's kind of matrix
      {32767, -32768, 32767, -32768, 32767, 32767, 32767, 32767, -32768},  // 16-bit edges
      {32768, 0, 0, 0, 16384, 0, 0, 0, 16384},                             // just past them
      {16384, 0, 0, 0, 16384, 0, -32769, 0, 16384},
      {kLane, kLane, kLane, -kLane, -kLane, -kLane, kLane, -kLane, 16384},
      {-kLane, 0, kLane, 0, 16384, 0, kLane, 0, -kLane},
      {20000000, -3000, 500, -1000, 17000, -30000000, 900, -6000, 2147483647},  // would wrap
  }};
  std::vector<uint8_t> tone(256);
  testkit::Rng rng(11);
  for (auto& t : tone) t = uint8_t(rng.next());
  struct Kind {
    const char* name;
    uint8_t matrixOn;
    int32_t contrast;
    uint8_t mono;
  };
  const Kind kinds[] = {
      {"matrix", 1, 0, 0}, {"matrix then tone", 1, 5, 0}, {"tone", 0, 5, 0}, {"mono", 0, 5, 1}};
  const int32_t widths[] = {1, 7, 9, 10, 11, 17, 19, 33, 41, 67};
  for (Isa isa : testkit::availableIsas()) {
    testkit::IsaScope scope(isa);
    for (const Kind& kind : kinds)
      for (const auto& coef : coefSets)
        for (uint8_t p : {uint8_t(3), uint8_t(4)})
          for (bool bgr : {false, true})
            for (uint8_t bits : {uint8_t(8), uint8_t(6)})
              for (int32_t w : widths) {
                ColourAdjust<uint8_t> a = f.args();
                a.coef = coef.data(), a.tone = tone.data(), a.matrixOn = kind.matrixOn;
                a.contrast = kind.contrast, a.p = p, a.bits = bits, a.mono = kind.mono;
                if (kind.mono) a.hue = 7;
                constexpr int32_t rows = 3;
                const size_t stride = reference::stride<uint8_t>(p, w);
                Guarded<uint8_t> img(stride * rows);
                for (size_t i = 0; i < img.size(); ++i) img[i] = uint8_t(rng.next());
                for (size_t i = 0; i < 8 && i < img.size(); ++i)
                  img[i] = i & 1 ? 0 : 255;  // extremes
                Guarded<uint8_t> want = img;
                adjust(bgr, a, img.data(), w, rows);
                if (bits == 8) {
                  reference::adjustColour<uint8_t>(bgr, colourReference(a), want.data(), w, rows);
                } else {
                  // The reference clamps 8-bit samples at 255 whatever the depth: hold the vector
                  // bodies to the scalar clamp at the depth's own maximum instead.
                  ForceIsa(Isa::Scalar);
                  adjust(bgr, a, want.data(), w, rows);
                  ForceIsa(isa);
                }
                ASSERT_TRUE(img == want)
                    << testkit::isaName(isa) << " " << kind.name << " coef " << coef[0] << " p"
                    << int(p) << (bgr ? " bgr" : " rgb") << " bits " << int(bits) << " w " << w;
                ASSERT_TRUE(img.guardsIntact());
              }
  }
}

// Rows that end exactly at the end of their allocation: the three-sample blocks read past their
// own 24 bytes, which must never leave the row (ASan watches the reads).
TEST(KernelsAdjustColor, VectorBlocksStayInsideTheRow) {
  ColourFixture<uint8_t> f;
  const std::array<int32_t, 9> coef = {24903, -6226, -2294, -3932, 23101, -2785, 328, -9011, 25067};
  testkit::Rng rng(17);
  for (int32_t w : {8, 9, 10, 11, 16, 17, 18})
    for (int32_t contrast : {0, 5}) {
      ColourAdjust<uint8_t> a = f.args();
      a.coef = coef.data(), a.matrixOn = 1, a.contrast = contrast;
      std::vector<uint8_t> row(size_t(w) * 3);
      for (auto& v : row) v = uint8_t(rng.next());
      std::vector<uint8_t> want = row;
      AdjustColorRgb(a, row.data(), w, 1);
      reference::adjustColour<uint8_t>(false, colourReference(a), want.data(), w, 1);
      EXPECT_EQ(row, want) << w << " " << contrast;
    }
}

// --- Levels ---------------------------------------------------------------------------------

TEST(KernelsLevels, MatchReferenceInColourAndMono) {
  testkit::Rng rng(8);
  std::vector<uint16_t> t[4];
  for (auto& table : t) {
    table.resize(65536);
    for (auto& v : table) v = uint16_t(rng.below(4096));
  }
  ColourFixture<uint16_t> f;
  for (uint8_t p : {1, 3, 4})
    for (bool mono : {false, true})
      for (bool bgr : {false, true}) {
        const LevelTables<uint16_t> lt{mono,           t[0].data(),    f.lumaR.data(),
                                       f.lumaG.data(), f.lumaB.data(), t[1].data(),
                                       t[2].data(),    t[3].data(),    p};
        Guarded<uint16_t> img(reference::stride<uint16_t>(p, 11) * 3);
        for (size_t i = 0; i < img.size(); ++i) img[i] = uint16_t(rng.below(65536));
        Guarded<uint16_t> want = img;
        (bgr ? ApplyLevels16Bgr : ApplyLevels16Rgb)(lt, img.data(), 11, 3);
        reference::levels<uint16_t>(bgr, mono, t[0].data(), f.lumaR.data(), f.lumaG.data(),
                                    f.lumaB.data(), t[1].data(), t[2].data(), t[3].data(), 11, 3,
                                    want.data(), p);
        EXPECT_TRUE(img == want) << int(p) << mono << bgr;
      }
}

// --- Tone curve -----------------------------------------------------------------------------

// Short tables: a raw sample past the end reads the last entry (ASan watches the read).
TEST(KernelsTone, ApplyClampsIndexToTheTable) {
  const ToneLut<uint16_t> t12 = BuiltInToneLut16(12);
  std::vector<uint16_t> exact(t12.table, t12.table + t12.count);
  Guarded<uint16_t> img(reference::stride<uint16_t>(3, 3));
  const uint16_t in[9] = {0, 17, 18, 256, 4095, 4096, 65535, 1024, 3000};
  std::copy(in, in + 9, img.data());
  Guarded<uint16_t> want = img;
  ApplyToneLut16({exact.data(), uint32_t(exact.size())}, 3, 1, img.data(), 3);
  reference::toneLut<uint16_t>(exact.data(), uint32_t(exact.size()), 3, 1, want.data(), 3);
  EXPECT_TRUE(img == want);
  EXPECT_EQ(img[6], 4095);
  EXPECT_EQ(img[3], 432);
}

// 8-bit tables on every instruction set: full and short tables (the clamp), odd widths around
// the 32-byte blocks, three and four samples (the fourth and the row padding stay).
TEST(KernelsTone, ApplyMatchesReferenceOnEveryIsa) {
  testkit::Rng rng(23);
  std::vector<uint8_t> full(256), shortTable(100);
  for (auto& v : full) v = uint8_t(rng.next());
  for (auto& v : shortTable) v = uint8_t(rng.next());
  const int32_t widths[] = {1, 3, 7, 10, 11, 21, 33, 43, 65, 97};
  for (Isa isa : testkit::availableIsas()) {
    testkit::IsaScope scope(isa);
    for (const auto* table : {&full, &shortTable})
      for (uint8_t p : {uint8_t(3), uint8_t(4)})
        for (int32_t w : widths) {
          constexpr int32_t rows = 3;
          Guarded<uint8_t> img(reference::stride<uint8_t>(p, w) * rows);
          for (size_t i = 0; i < img.size(); ++i) img[i] = uint8_t(rng.next());
          Guarded<uint8_t> want = img;
          const auto count = uint32_t(table->size());
          ApplyToneLut({table->data(), count}, w, rows, img.data(), p);
          reference::toneLut<uint8_t>(table->data(), count, w, rows, want.data(), p);
          ASSERT_TRUE(img == want)
              << testkit::isaName(isa) << " count " << count << " p" << int(p) << " w " << w;
          ASSERT_TRUE(img.guardsIntact());
        }
  }
}

// FNV-1a over the entries' bytes: any change of a curve shows, and native and cross builds must
// agree.
template <typename S>
uint32_t checksum(const ToneLut<S>& t) {
  uint32_t h = 2166136261u;
  for (uint32_t i = 0; i < t.count; ++i)
    for (size_t k = 0; k < sizeof(S); ++k) h = (h ^ ((t.table[i] >> (8 * k)) & 0xFF)) * 16777619u;
  return h;
}

TEST(KernelsTone, BuiltInCurveChecksumsAreFixed) {
  EXPECT_EQ(checksum(BuiltInToneLut8()), 3806048605u);
  EXPECT_EQ(checksum(BuiltInToneLut16(10)), 174066509u);
  EXPECT_EQ(checksum(BuiltInToneLut16(12)), 4261950923u);
  EXPECT_EQ(checksum(BuiltInToneLut16(14)), 2789626984u);
  EXPECT_EQ(checksum(BuiltInToneLut16(16)), 3256519484u);
}

}  // namespace
}  // namespace kernels
