// Auto exposure: one step per preview frame turns a window's brightness into time and gain.
#pragma once

#include <cstdint>

#include "pipeline/algorithms/ae_measure.h"
#include "pipeline/pl_context.h"

// Where auto exposure's search stands (PLContextT::aeStatus).
enum AeStatus : uint32_t {
  kAeNoReference = 0,    // settled, or restarting: the next step takes the first reference
  kAeTimeReference = 1,  // one reference; the next trial point scales from it
  kAeTimeBracket = 2,    // two references either side of the target
  kAeGainReference = 3,  // at a mains period step: the gain searches from one reference
  kAeGainBracket = 4,    // the gain between two references
};

// A full step runs on every third preview frame; the ones between only guard the limits.
inline constexpr uint32_t kAeFramesPerStep = 3;
// Set into aeCallCount so that the very next frame runs a full step.
inline constexpr uint32_t kAeCallCountStepNext = kAeFramesPerStep - 1;

// Snaps a time to whole mains periods (60 Hz: 25000/3 us, 50 Hz: 10000 us) when the state
// applies them; lowered one period when above the model's longest time. Else unchanged.
template <typename Sample>
uint32_t AeSnapExposureTime(const PLContextT<Sample>* ctx, uint32_t timeUs);

// Measures the frame (procWidth x procHeight samples, or a region of the sensor) and moves
// expoTime/expoGain of the state one step. Takes mtxSettings itself.
template <typename Sample>
void AutoExposure(PLContextT<Sample>* ctx, const void* frame, const ImageRect* region);

// The measure the state's pixel format calls for, from the window sums behind the samples when
// the state has an image processor; -1 for a missed window or another format.
template <typename Sample>
int32_t AeMeasure(const PLContextT<Sample>& ctx, const void* frame, uint32_t w, uint32_t h,
                  const ImageRect& window);
