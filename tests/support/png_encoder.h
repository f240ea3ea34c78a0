// Encodes 8-bit RGB pictures as PNG files, for the pictures tests leave for a person to review.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// `rgb` holds `height` rows top-down, each `stride` bytes apart and `width` * 3 bytes long.
// Empty when the sizes are zero, beyond PNG's limit or overflow, or when deflating fails.
std::vector<uint8_t> EncodePngRgb(const uint8_t* rgb, size_t stride, uint32_t width,
                                  uint32_t height);
