// Three-byte pixels to four-byte ones with a zero fourth byte: the 32-bit output of a 24-bit
// frame.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kernels {

// Rows of width 3-byte pixels to width 4-byte pixels (the same three bytes, then 0).
void PadBgrTo32(const uint8_t* src, size_t srcStride, uint8_t* dst, size_t dstStride,
                uint32_t width, uint32_t height);

namespace pad {
// Pixels of one row done with AVX2, reading only the row's own bytes; the caller finishes the
// rest.
uint32_t rowAvx2(const uint8_t* src, uint8_t* dst, uint32_t width);
}  // namespace pad

}  // namespace kernels
