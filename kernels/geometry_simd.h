// Vector bodies of the mirror and half turn: each exchanges whole blocks from the start of the
// range and returns how many pixels it did; the caller's scalar loop finishes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kernels::geom {

// Exchanges pixel i of `left` with pixel i counted back from `rightEnd` (one past the last
// byte), for i below `pixels`, on 3-byte pixels. The two ranges must not overlap.
size_t swapReversed3Ssse3(uint8_t* left, uint8_t* rightEnd, size_t pixels);

// Exchanges the first bytes of two disjoint ranges of `bytes` bytes, in whole blocks.
size_t swapBlocksSse2(uint8_t* a, uint8_t* b, size_t bytes);

// The dispatched bodies for this processor, or null for scalar only.
using SwapReversedFn = size_t (*)(uint8_t*, uint8_t*, size_t);
using SwapBlocksFn = size_t (*)(uint8_t*, uint8_t*, size_t);
SwapReversedFn SwapReversed3();
SwapBlocksFn SwapBlocks();

}  // namespace kernels::geom
