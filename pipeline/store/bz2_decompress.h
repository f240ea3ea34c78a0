// One bzip2 stream unpacked buffer to buffer.
#pragma once

#include <cstdint>

// True only when src holds one whole stream that unpacks to exactly dstLen bytes.
bool Bz2Decompress(uint8_t* dst, uint32_t dstLen, const uint8_t* src, uint32_t srcLen);
