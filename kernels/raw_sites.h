// Visits a raw Bayer frame with each site's own argument fixed per row, never per sample.
#pragma once

#include <cstdint>

#include "kernels/kernel_base.h"

namespace kernels {

template <typename Sample, typename Arg, typename Fn>
void mapSites(uint32_t b, int32_t w, int32_t h, Sample* raw, const Arg (&byColour)[3], Fn fn) {
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* sites = kBayerColour[b][y & 1];
    const Arg& even = byColour[sites[0]];
    const Arg& odd = byColour[sites[1]];
    Sample* row = raw + size_t(y) * w;
    int32_t x = 0;
    for (; x + 1 < w; x += 2) {
      row[x] = fn(row[x], even);
      row[x + 1] = fn(row[x + 1], odd);
    }
    if (x < w) row[x] = fn(row[x], even);
  }
}

}  // namespace kernels
