// Colour temperature and tint against white-balance gains.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "pipeline/algorithms/colour_temp.h"

namespace {

using Gains = std::array<uint32_t, 3>;

// The neutral point and 3000 K are exact; inputs out of range are clamped first.
TEST(ColourTemp, WorkedPointsAndClamps) {
  EXPECT_EQ(TempTintToGain(6503, 1000), (Gains{256, 256, 256}));
  EXPECT_EQ(TempTintToGain(3000, 1000), (Gains{256, 532, 1737}));
  EXPECT_EQ(TempTintToGain(500, 1000), TempTintToGain(2000, 1000));
  EXPECT_EQ(TempTintToGain(90000, 9000), TempTintToGain(15000, 2500));
  int32_t t = 0, tint = 0;
  EXPECT_TRUE(GainToTempTint({256, 256, 256}, t, tint));
  EXPECT_EQ(std::tie(t, tint), std::make_tuple(6503, 1000));
}

TEST(ColourTemp, RoundTripStaysClose) {
  for (int32_t temp = 2000; temp <= 15000; temp += 250) {
    for (int32_t tint = 200; tint <= 2500; tint += 100) {
      int32_t t = 0, n = 0;
      GainToTempTint(TempTintToGain(temp, tint), t, n);
      ASSERT_LE(std::abs(t - temp), temp * 0.005) << temp << " " << tint;
      ASSERT_LE(std::abs(n - tint), 15) << temp << " " << tint;
    }
  }
}

// A zero gain would divide by zero: refused, and the neutral point is reported.
TEST(ColourTemp, ZeroGainIsRefused) {
  for (const Gains& g : {Gains{0, 256, 256}, {256, 0, 300}, {256, 300, 0}}) {
    int32_t t = 1, n = 1;
    EXPECT_FALSE(GainToTempTint(g, t, n));
    EXPECT_EQ(std::tie(t, n), std::make_tuple(6503, 1000));
  }
}

TEST(ColourTemp, BlackBodyColoursAreNormalised) {
  const auto warm = TempToRgb(3000), cold = TempToRgb(12000);
  EXPECT_DOUBLE_EQ(warm[0], 1.0);
  EXPECT_LT(warm[2], warm[1]);
  EXPECT_DOUBLE_EQ(cold[2], 1.0);
  EXPECT_LT(cold[0], cold[1]);
}

}  // namespace
