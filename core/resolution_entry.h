// A camera's resolution table entry and the lookup of a size in it.
#pragma once

#include <cstdint>

struct ResolutionEntry {
  uint32_t width;
  uint32_t height;
  uint32_t ratioNumerator;  // pixel-size ratio
  uint32_t ratioDenominator;
};
static_assert(sizeof(ResolutionEntry) == 16);

// The first index whose width and height match; a width of 0 matches any width and a height of
// 0 any height, but not both. -1 for (0, 0), no table, or no match.
int32_t FindResolutionIndex(const ResolutionEntry* table, uint32_t count, uint32_t width,
                            uint32_t height);
