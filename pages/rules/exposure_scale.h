// The exposure trackbar's cube-root scale: positions in milliseconds' steps up to the maximum,
// so that short times get as much travel as long ones.
#pragma once

#include <cstdint>

struct ExposureScale {
  uint32_t minPos;
  uint32_t maxPos;
};

// The trackbar's range for a camera whose exposure runs from minUs to maxUs. maxPos is at least
// 1 (a camera whose maximum is below a millisecond still has a scale), minPos at most maxPos.
ExposureScale ExposureScaleOf(uint32_t minUs, uint32_t maxUs);
// The position showing timeUs, within the scale.
uint32_t ExposureTimeToSliderPos(uint32_t timeUs, uint32_t minUs, uint32_t maxUs);
// The time a position stands for: the ends give the camera's limits exactly, and every other
// position a time within them.
uint32_t SliderPosToExposureTime(uint32_t pos, uint32_t minUs, uint32_t maxUs);
