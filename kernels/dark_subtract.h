// Vector bodies of the dark subtraction: each does whole blocks from the start of the range and
// returns how many samples it did; the caller's scalar loop finishes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kernels::dark {

size_t blocks8Sse2(uint8_t* frame, const uint8_t* dark, size_t n);
size_t blocks16Sse2(uint16_t* frame, const uint16_t* dark, size_t n);
size_t blocks16Sse41(uint16_t* frame, const uint16_t* dark, size_t n);
size_t blocks8Avx2(uint8_t* frame, const uint8_t* dark, size_t n);
size_t blocks16Avx2(uint16_t* frame, const uint16_t* dark, size_t n);

}  // namespace kernels::dark
