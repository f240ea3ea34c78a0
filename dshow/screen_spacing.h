// The two spacings the pages' custom-drawn controls use, scaled to the screen's dots per inch.
#pragma once

#include <cstdint>

struct ScreenSpacings {
  int32_t small = 2;
  int32_t large = 4;
};

// 2 and 4 pixels at 96 dots per inch, rounded as MulDiv rounds; a dpi of 0 or less counts as 96.
ScreenSpacings spacingsForDpi(int32_t dpi);

// Set once when the module is loaded.
ScreenSpacings& PageSpacings();
