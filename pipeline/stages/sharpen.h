// Sharpening step: the frame's unsharp-mask parameters and the kernel on the state's scratch.
#pragma once

#include <cstdint>

#include "pipeline/pl_context.h"

namespace stages {

// What one frame sharpens with, taken once under mtxSettings.
struct SharpenParams {
  uint32_t amount = 0;  // percent; 0 is off
  uint32_t radius = 2;
  uint8_t threshold = 0;  // in sample units at any depth
};

inline SharpenParams SharpenParamsFrom(uint32_t processFlags, uint32_t radius, uint8_t threshold) {
  return {PLProcessFlags::usmValue(processFlags), radius, threshold};
}

// The state's parameters as they are now, read under its settings lock.
template <typename Sample>
SharpenParams CurrentSharpenParams(PLContextT<Sample>& c) {
  std::lock_guard<platform::RecursiveLock> hold(*c.mtxSettings);
  return SharpenParamsFrom(c.settings.processFlags, c.usmRadius, c.usmThreshold);
}

// Sharpens a w x h frame of the state's layout in place under the state's scratch lock, the
// scratch grown to this frame's size. Amount 0 does nothing and allocates nothing; memory that
// cannot be had leaves the frame unchanged, with an error trace line.
void SharpenFrame(PLContext* ctx, uint8_t* image, int32_t w, int32_t h, const SharpenParams& sp);
void SharpenFrame16(PLContext16* ctx, uint16_t* image, int32_t w, int32_t h,
                    const SharpenParams& sp);

}  // namespace stages
