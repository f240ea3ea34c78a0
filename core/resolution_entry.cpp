// Resolution lookup by size.
#include "core/resolution_entry.h"

int32_t FindResolutionIndex(const ResolutionEntry* table, uint32_t count, uint32_t width,
                            uint32_t height) {
  if (table == nullptr || (width == 0 && height == 0)) return -1;
  for (uint32_t i = 0; i < count && i <= INT32_MAX; ++i) {
    const bool widthMatches = width == 0 || table[i].width == width;
    const bool heightMatches = height == 0 || table[i].height == height;
    if (widthMatches && heightMatches) return static_cast<int32_t>(i);
  }
  return -1;
}
