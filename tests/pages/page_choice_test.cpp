// Which pages a camera is offered, from its answers and its resolutions.
#include <gtest/gtest.h>

#include <vector>

#include "pages/page_choice.h"

namespace {

constexpr int32_t kNotImpl = static_cast<int32_t>(0x80004001);
constexpr int32_t kFail = static_cast<int32_t>(0x80004005);

TEST(PageChoice, FilterPagesFollowTheCamerasAnswers) {
  using P = FilterPage;
  struct Case {
    const char* name;
    PageQuery query;
    std::vector<FilterPage> pages;
  } cases[] = {
      {"mono 8-bit, no cooling, no cg",
       {false, 0, 0, 8, kNotImpl, kNotImpl, kNotImpl},
       {P::Exposure, P::Roi, P::Histogram, P::Misc2, P::Preset}},
      {"mono 12-bit",
       {false, 0, 0, 12, kNotImpl, kNotImpl, kNotImpl},
       {P::Exposure, P::Roi, P::Histogram, P::Misc2BitDepth, P::Preset}},
      {"colour, light frequency fails, 12-bit, cooling and cg",
       {true, kFail, 0, 12, 0, kNotImpl, 0},
       {P::Exposure, P::Roi, P::Colour, P::Histogram, P::Cooling, P::Cg, P::Misc3BitDepth,
        P::Preset}},
      {"colour, skip fails",
       {true, 0, kNotImpl, 8, kNotImpl, 0, kNotImpl},
       {P::Exposure, P::Roi, P::Colour, P::Histogram, P::Cooling, P::Misc4, P::Preset}},
      {"colour, both answer, 16-bit",
       {true, 0, 0, 16, kNotImpl, kNotImpl, 1},
       {P::Exposure, P::Roi, P::Colour, P::Histogram, P::Cg, P::Misc5BitDepth, P::Preset}},
      {"colour, 8-bit plain",
       {true, 0, 0, 8, kNotImpl, kNotImpl, kNotImpl},
       {P::Exposure, P::Roi, P::Colour, P::Histogram, P::Misc5, P::Preset}},
      // 9 bits is the least depth that gets the bit-depth twin.
      {"mono 9-bit",
       {false, 0, 0, 9, kNotImpl, kNotImpl, kNotImpl},
       {P::Exposure, P::Roi, P::Histogram, P::Misc2BitDepth, P::Preset}},
      {"colour, light frequency fails, 9-bit",
       {true, kFail, 0, 9, kNotImpl, kNotImpl, kNotImpl},
       {P::Exposure, P::Roi, P::Colour, P::Histogram, P::Misc3BitDepth, P::Preset}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FilterPage pages[kMaxFilterPages];
    const size_t n = chooseFilterPages(c.query, pages);
    EXPECT_EQ(std::vector<FilterPage>(pages, pages + n), c.pages);
  }
}

TEST(PageChoice, SizePageByResolutionCountAndPin) {
  using S = SizePage;
  struct Case {
    uint32_t count;
    S previewNoStills, previewStills, still;
  } cases[] = {
      {1, S::Size10, S::Size10, S::None},   {2, S::Size20, S::Size22, S::Size22},
      {3, S::Size30, S::Size33, S::Size33}, {4, S::Size40, S::Size40, S::Size40},
      {8, S::Size88, S::Size88, S::Size88}, {6, S::Size88, S::Size88, S::Size88},
      {0, S::None, S::None, S::None},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.count);
    EXPECT_EQ(chooseSizePage(false, c.count, false), c.previewNoStills);
    EXPECT_EQ(chooseSizePage(false, c.count, true), c.previewStills);
    EXPECT_EQ(chooseSizePage(true, c.count, true), c.still);
  }
}

}  // namespace
