// Shared model arithmetic and the 3.1 MP descriptors built on it.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>

#include "models/catalogue_table.h"
#include "models/common/model_math.h"
#include "models/families/usb3_31mp.h"

namespace {

TEST(ModelMath, HalvingKeepsLinesWithinTheCounter) {
  struct Case {
    uint32_t lines, clock, wantLines, wantClock;
  };
  for (const Case c : {Case{65535, 2300, 65535, 2300}, Case{65536, 2300, 32768, 4600},
                       Case{85217, 2300, 42608, 4600}, Case{300000, 100, 37500, 800}}) {
    const LineCount got = ModelMath::halveToFit(c.lines, c.clock, 65535);
    EXPECT_EQ(got.lines, c.wantLines) << c.lines;
    EXPECT_EQ(got.lineClock, c.wantClock) << c.lines;
  }
}

// Rounded to the nearest line, saturated at the 16-bit counter rather than wrapped.
TEST(ModelMath, RoundedLinesSaturateAtTheCounter) {
  struct Case {
    uint32_t us, mhz, line, want;
  };
  for (const Case c : {Case{44000, 24, 1676, 630}, Case{2000000, 48, 1250, 65535},
                       Case{0xFFFFFFFF, 48, 1, 65535}, Case{1000, 24, 0, 0}, Case{1, 24, 48, 1}}) {
    EXPECT_EQ(ModelMath::roundedLines(c.us, c.mhz, c.line), c.want) << c.us << "/" << c.line;
  }
}

// Segments by v = percent x scale / 100; outside them the fallback; a zero divisor is a constant.
TEST(ModelMath, GainCodeTakesTheSegmentOfTheScaledValue) {
  static constexpr std::array<GainSegment, 3> segments{
      {{1, 9, 1, 0}, {10, 19, 2, 100}, {20, 29, 0, 7}}};
  constexpr GainCurve curve{10, segments, 55};
  struct Case {
    uint32_t percent;
    uint16_t want;
  };
  for (const Case c : {Case{0, 55}, Case{10, 1}, Case{99, 9}, Case{150, 107}, Case{250, 7},
                       Case{300, 55}, Case{0xFFFFFFFF, 55}}) {
    EXPECT_EQ(ModelMath::gainCode(curve, c.percent), c.want) << c.percent;
  }
  EXPECT_EQ(ModelMath::scaledPercent(150, 1.38), 206u);  // 206.99999... truncated
  EXPECT_EQ(ModelMath::scaledPercent(300, 1.41), 423u);
}

TEST(ModelMath, BandLookupTakesTheFirstBandAbove) {
  constexpr std::array<Band, 2> bands{{{10, 1}, {20, 2}}};
  struct Case {
    uint32_t x;
    uint16_t want;
  };
  for (const Case c : {Case{0, 1}, Case{9, 1}, Case{10, 2}, Case{19, 2}, Case{20, 9}}) {
    EXPECT_EQ(ModelMath::bandLookup(bands, c.x, 9), c.want) << c.x;
  }
}

TEST(ModelMath, RawLutKeepsAnchorsRisesAndStaysNearIdentity) {
  std::array<uint16_t, 256> lut{};
  ModelMath::lutFromAnchors(kSpecRostrel303100KPA.rawLutAnchors, lut);
  for (const LutAnchor& a : kSpecRostrel303100KPA.rawLutAnchors)
    EXPECT_EQ(lut[a.in], a.out) << a.in;
  for (size_t i = 0; i < lut.size(); ++i) {
    if (i > 0) {
      EXPECT_GE(lut[i], lut[i - 1]) << i;
    }
    EXPECT_LE(std::abs(int(lut[i]) - int(i)), 4) << i;
    if (i >= 192) {
      EXPECT_EQ(lut[i], i);
    }
  }
}

TEST(ModelMath, PixelSizeFollowsTheResolutionRatio) {
  for (const ModelSpec* spec : {&kSpecRostrel303100KPA, &kSpecPelvane303100KPA}) {
    const ModelCatalogueRow* row = spec->row();
    ASSERT_NE(row, nullptr);
    const std::array<float, 2> want{2.2f, 4.4f};
    for (size_t i = 0; i < want.size(); ++i) {
      EXPECT_FLOAT_EQ(ModelMath::pixelSizeByRatio(row->model.pixelSize, spec->ratios[i]), want[i]);
    }
  }
}

TEST(ModelMath, TwinDescriptorsDifferOnlyInTheirRow) {
  const ModelCatalogueRow* first = kSpecRostrel303100KPA.row();
  const ModelCatalogueRow* twin = kSpecPelvane303100KPA.row();
  ASSERT_TRUE(first && twin);
  EXPECT_NE(first, twin);
  EXPECT_EQ(first->model.productIds[0], 0xC310);
  EXPECT_EQ(twin->model.productIds[0], 0x3310);
  EXPECT_EQ(kSpecRostrel303100KPA.sensor, kSpecPelvane303100KPA.sensor);
  for (const ModelSpec* spec : {&kSpecRostrel303100KPA, &kSpecPelvane303100KPA}) {
    EXPECT_EQ(spec->maxFrameRateOf(0), 28u);
    EXPECT_EQ(spec->maxFrameRateOf(1), 60u);
    EXPECT_EQ(spec->maxFrameRateOf(5), 60u);
    EXPECT_EQ(spec->clampExposure(50), 100u);
    EXPECT_EQ(spec->clampExposure(3000000), 2000000u);
  }
}

}  // namespace
