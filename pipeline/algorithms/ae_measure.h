// Brightness measures of auto exposure: the mean of a window of a frame on a 0..255 scale.
#pragma once

#include <cstdint>

#include "base/geometry.h"

// Windows count their top from the image's top row. Frames are stored bottom-up: window row y is
// memory row height - 1 - y. Each returns -1 when the window misses the frame; means are integer
// quotients capped at 255. With aux sums, three signed 64-bit sums stand behind the samples and the
// brightness is their luma, within 0..255.
int32_t GetAverageIntensityByte(uint32_t width, uint32_t height, const ImageRect& window,
                                uint8_t auxBits, bool auxSums, const uint8_t* samples);
int32_t GetAverageIntensityUshort(uint32_t width, uint32_t height, const ImageRect& window,
                                  uint8_t bits, bool auxSums, const uint16_t* samples);
int32_t GetAverageIntensityYuv(uint32_t width, uint32_t height, const ImageRect& window,
                               const uint8_t* bytes, const int32_t* lumaTable, bool auxSums,
                               uint8_t pixelFormat, uint8_t auxBits);
// (sum x 3 / 2) / count in 64 bits, capped at 255.
int32_t GetAverageIntensityByteScaled(uint32_t width, uint32_t height, const ImageRect& window,
                                      const uint8_t* bytes);
