// The numbers of the pins' RGB24 video formats and sample times; free of Windows headers.
#include "dshow/pins/media_numbers.h"

#include <algorithm>

#include "base/geometry.h"

namespace media {

namespace {

int32_t saturatedLong(uint64_t value) {
  return value > static_cast<uint64_t>(kMaxLong) ? kMaxLong : static_cast<int32_t>(value);
}

}  // namespace

uint32_t rgb24ImageSize(int32_t width, int32_t height) {
  if (width <= 0 || height == 0) return 0;
  const uint64_t rowBytes = DibRowBytes(24, static_cast<uint64_t>(width));
  const uint64_t rows = height < 0 ? -static_cast<int64_t>(height) : height;
  const uint64_t bytes = rowBytes * rows;
  return bytes > 0xFFFFFFFFull ? 0 : static_cast<uint32_t>(bytes);
}

uint32_t effectiveFps(uint32_t fps) {
  return fps == 0 ? kDefaultFps : fps;
}

int64_t averageTimePerFrame(uint32_t fps) {
  return kUnitsPerSecond / effectiveFps(fps);
}

uint32_t bitRate(uint32_t imageSize, uint32_t fps) {
  // 4096x3288 RGB24 at 30 fps is about 9.7 Gbit/s: more than the field holds.
  const uint64_t bits = uint64_t{imageSize} * effectiveFps(fps) * 8;
  return bits > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(bits);
}

CapsNumbers capsNumbers(uint32_t imageSize, uint32_t fps) {
  // The shortest interval is the resolution's fastest rate; slower rates down to one frame
  // a second are the camera's as well (longer exposures, lower speed levels).
  const int64_t shortest = averageTimePerFrame(fps);
  return CapsNumbers{shortest, std::max(shortest, kUnitsPerSecond),
                     saturatedLong(uint64_t{imageSize} * 8),
                     saturatedLong(uint64_t{imageSize} * 200)};
}

SampleStep sampleStep(uint32_t clockTickMs, uint32_t nowMs) {
  constexpr int64_t kUnitsPerMs = kUnitsPerSecond / 1000;
  const uint32_t elapsed = nowMs - clockTickMs;
  // The clock leads only by the milliseconds given to frames within one tick, never by a longest
  // step: a larger lead is a gap of over 24 days (a graph left paused) read the wrong way round.
  const uint32_t lead = clockTickMs - nowMs;
  if (elapsed < kMinSampleStepMs || lead <= kMaxSampleStepMs)
    return {int64_t{kMinSampleStepMs} * kUnitsPerMs, clockTickMs + kMinSampleStepMs};
  const uint32_t ms = std::min(elapsed, kMaxSampleStepMs);
  return {int64_t{ms} * kUnitsPerMs, nowMs};
}

}  // namespace media
