// Bytes through a 256-entry table: the vector bodies and the scalar finish they share.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kernels::bytes {

// Whole 32-byte blocks of data[0, n) through table; with keepFourth the bytes at 3 mod 4 (the
// fourth sample of 4-sample pixels) stay. Returns how many bytes it did.
size_t lookupAvx2(const uint8_t* table, uint8_t* data, size_t n, bool keepFourth);

// The same for any ISA: the vector body when there is one, then a scalar finish.
void Lookup(const uint8_t* table, uint8_t* data, size_t n, bool keepFourth);

}  // namespace kernels::bytes
