// The numbers of the pins' RGB24 video formats and sample times; free of Windows headers.
#pragma once

#include <cstdint>

namespace media {

inline constexpr uint32_t kDefaultFps = 30;
inline constexpr int64_t kUnitsPerSecond = 10000000;  // REFERENCE_TIME units
inline constexpr uint32_t kMaxSampleStepMs = 15000;
inline constexpr uint32_t kMinSampleStepMs = 1;
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

// One preview sample on the stream clock: its length in 100 ns units, and the tick the clock has
// reached at its end.
struct SampleStep {
  int64_t length;
  uint32_t clockTickMs;
};
// The sample that ends now: the real time since the clock's tick, at most 15 s and at least 1 ms,
// so that frames handed over within one tick of the counter still start one after another (hosts
// drop or refuse equal starts); the clock then runs those milliseconds ahead until real time
// catches up. The counter wraps: the gap is taken modulo 2^32, and a lead is at most 15 s.
SampleStep sampleStep(uint32_t clockTickMs, uint32_t nowMs);

}  // namespace media
