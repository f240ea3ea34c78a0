// What one grab fills in and what one still grab reports.
#pragma once

#include <cstdint>

#include "base/geometry.h"

struct FrameDescriptor {
  uint8_t* buffer = nullptr;  // the raw frame
  SensorRect roi{};           // all zero: the whole frame
  uint8_t hasRoi = 0;         // set by the hook when any roi value is non-zero
  SensorRect sensorWindow{};  // all zero: none
  uint8_t pixelFormat = 0;
  uint32_t frameInfo = 0;  // the model's word, copied into still results
};

struct StillResult {
  int32_t status = -1;  // 1 success, -1 no buffer, -2 stopped, other negatives from the grab
  uint32_t pixelFormat = 0;
  uint32_t width = 0, height = 0;
  uint32_t frameInfo = 0;
};
