// Literal readings of the geometry and output conversion rules, for the tests.
#pragma once

#include <cstdint>
#include <vector>

namespace kernels::reference {

// Row by row through a temporary row, as written.
template <typename S>
void flip(int32_t flipWord, int32_t w, int32_t h, S* frame, uint8_t p);
// Every source pixel of a copy written to its new place; padding of the new rows untouched.
template <typename S>
void quarterTurn(bool ccw, S* frame, int32_t w, int32_t h, uint8_t p);
template <typename S>
void halfTurn(int32_t w, int32_t h, S* frame, uint8_t p);

template <typename S>
void subtractDark(size_t n, S* frame, const S* dark);
void convert16To8(const uint16_t* src, uint8_t* dst, int32_t w, int32_t rows, uint8_t p,
                  uint8_t bits);

// Horizontal pass into an intermediate, then the vertical pass; nearest pick where no rule is.
template <typename S>
void fitToOutput(int32_t outW, int32_t outH, int32_t procW, int32_t procH, S* out, const S* proc,
                 uint8_t p);

// Group by group; alt = format 11.
void yuv422(bool alt, bool bgr, uint8_t p, const uint8_t* packed, uint8_t* out, int32_t w,
            int32_t h);

}  // namespace kernels::reference
