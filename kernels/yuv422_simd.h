// Vector bodies of the packed 4:2:2 conversion: each converts whole blocks of pixels from a
// group boundary into 3-byte pixels and returns how many it did; the caller's scalar loop finishes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kernels::yuv {

// alt: groups U, Y0, V, Y1 (else V, U, Y1, Y0); bgr: blue first in each output pixel.
size_t toRgb3Ssse3(const uint8_t* packed, uint8_t* out, size_t pixels, bool alt, bool bgr);

}  // namespace kernels::yuv
