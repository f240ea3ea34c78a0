// The numbers of the pins' RGB24 video formats and sample times; free of Windows headers.
#pragma once

#include <cstdint>

namespace media {

inline constexpr uint32_t kDefaultFps = 30;
inline constexpr int64_t kUnitsPerSecond = 10000000;  // REFERENCE_TIME units
inline constexpr uint32_t kMaxSampleStepMs = 15000;
inline constexpr int32_t kMaxLong = 0x7FFFFFFF;

// DIB bytes of an RGB24 image, rows padded to 4 bytes; 0 for an empty or unrepresentable size.
uint32_t rgb24ImageSize(int32_t width, int32_t height);

// A camera that names no rate is taken as 30 frames per second.
uint32_t effectiveFps(uint32_t fps);
int64_t averageTimePerFrame(uint32_t fps);
// imageSize x fps x 8, saturated to the 32-bit field.
uint32_t bitRate(uint32_t imageSize, uint32_t fps);

// The numbers of one resolution's stream capabilities.
struct CapsNumbers {
  int64_t minFrameInterval;
  int64_t maxFrameInterval;
  int32_t minBitsPerSecond;
  int32_t maxBitsPerSecond;
};
CapsNumbers capsNumbers(uint32_t imageSize, uint32_t fps);

// Length of the sample that ends now: the real time since the last one, at most 15 s,
// in 100 ns units. The tick counter wraps, so the difference is taken unsigned.
int64_t sampleStep(uint32_t lastTickMs, uint32_t nowMs);

}  // namespace media
