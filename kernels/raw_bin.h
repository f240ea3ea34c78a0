// Row pairs of an 8-bit raw frame binned by 2: each output is the sum (capped) or the floor
// average of four same-colour samples, two from each row, two columns apart.
#pragma once

#include <cstdint>

namespace kernels {

// out[2q + c] from a[4q + c], a[4q + 2 + c], b[4q + c], b[4q + 2 + c] for colour c of quad q.
// Vector bodies return the quads done; the caller finishes the rest with scalar code. Safe in
// place with out == a: every block's outputs land before its inputs.
using BinQuadsFn = uint32_t (*)(const uint8_t* a, const uint8_t* b, uint8_t* out, uint32_t quads,
                                uint8_t maximum);

// The fastest body this processor runs, or null when there is none.
BinQuadsFn BinQuadsBy2(bool average);

namespace bin {
uint32_t sumSse2(const uint8_t* a, const uint8_t* b, uint8_t* out, uint32_t quads, uint8_t maximum);
uint32_t averageSse2(const uint8_t* a, const uint8_t* b, uint8_t* out, uint32_t quads,
                     uint8_t maximum);
uint32_t sumAvx2(const uint8_t* a, const uint8_t* b, uint8_t* out, uint32_t quads, uint8_t maximum);
uint32_t averageAvx2(const uint8_t* a, const uint8_t* b, uint8_t* out, uint32_t quads,
                     uint8_t maximum);
}  // namespace bin

}  // namespace kernels
