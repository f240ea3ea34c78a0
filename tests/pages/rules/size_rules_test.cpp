// The size pages' choices.
#include <gtest/gtest.h>

#include "pages/rules/size_rules.h"

namespace {

TEST(SizeRules, TheFirstCheckedRadioIsPendingAndNoneKeepsTheIndex) {
  const bool second[] = {false, true, true};
  const bool none[] = {false, false, false};
  EXPECT_EQ(FirstCheckedIndex(second, 0), 1u);
  EXPECT_EQ(FirstCheckedIndex(none, 2), 2u);
}

// The two-size page of a camera with one still resolution: whatever preview is pending, the
// second capture choice is never offered and never the starting point.
TEST(SizeRules, AStillPastTheCamerasStillsIsNeverOffered) {
  struct Case {
    uint32_t preview, still, stills;
    bool twoSize;
    uint32_t start;
  };
  const Case cases[] = {
      {1, 1, 1, true, 0}, {0, 1, 1, true, 0},  {0, 0, 1, true, 0},
      {1, 1, 2, true, 1}, {2, 2, 3, false, 2}, {0, 5, 3, false, 0},
  };
  for (const Case& c : cases) {
    const uint32_t start = StillIndexAtActivation(c.preview, c.still, c.stills, c.twoSize);
    EXPECT_EQ(start, c.start) << c.preview << "/" << c.still << "/" << c.stills;
    EXPECT_TRUE(StillRadioEnabled(start, c.stills));
  }
  for (uint32_t stills = 0; stills <= 8; ++stills)
    for (uint32_t index = 0; index < 8; ++index)
      EXPECT_EQ(StillRadioEnabled(index, stills), index < stills);
  EXPECT_EQ(UsableStillIndex(1, 1), 0u);
}

}  // namespace
