// AE, AWB and ABB windows between persisted fractions (x 10,000,000) and processed-frame pixels.
#pragma once

#include <array>
#include <cstdint>

#include "pipeline/pl_context.h"

// Each edge becomes (edge x 10^7 + size / 2) / size; 0 when the size is 0 or it does not fit.
std::array<int32_t, 4> RectToFraction(uint32_t width, uint32_t height, const ImageRect& rect);

// Each fraction becomes (fraction x size + 5 x 10^6) / 10^7 in 64 bits, limited to the last
// pixel, then ordered so that left <= right and top <= bottom. A zero size gives zeros.
ImageRect FractionToRect(uint32_t width, uint32_t height, const int32_t fractions[4]);

template <typename Sample>
std::array<int32_t, 4> RectToFraction(const PLContextT<Sample>& ctx, const ImageRect& rect) {
  return RectToFraction(ctx.procWidth, ctx.procHeight, rect);
}
template <typename Sample>
ImageRect FractionToRect(const PLContextT<Sample>& ctx, const int32_t fractions[4]) {
  return FractionToRect(ctx.procWidth, ctx.procHeight, fractions);
}

// The centre fifth of a frame, the windows of a new state.
ImageRect CentreFifth(uint32_t width, uint32_t height);
