// The host's hooks into the pipeline: a histogram observer and a demosaic replacement.
#pragma once

#include <cstdint>

// Called once per processed frame with 3 x 2^bits counts (red, green, blue).
using PL_HistogramCallback = void (*)(const uint32_t* counts, uint32_t bits, void* context);
// Called in place of the built-in demosaic: raw (fourcc order, bitDepth bits) into out.
using PL_DemosaicCallback = void (*)(uint32_t fourcc, int32_t width, int32_t height,
                                     const void* raw, void* out, uint8_t bitDepth, void* context);
