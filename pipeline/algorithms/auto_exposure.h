// Auto exposure: one step per preview frame turns a window's brightness into time and gain.
#pragma once

#include <cstdint>

#include "pipeline/algorithms/ae_measure.h"
#include "pipeline/pl_context.h"

// Snaps a time to whole mains periods (60 Hz: 25000/3 us, 50 Hz: 10000 us) when the state
// applies them; lowered one period when above the model's longest time. Else unchanged.
template <typename Sample>
uint32_t AeSnapExposureTime(const PLContextT<Sample>* ctx, uint32_t timeUs);

// Measures the frame (procWidth x procHeight samples, or a region of the sensor) and moves
// expoTime/expoGain of the state one step. Takes mtxSettings itself.
template <typename Sample>
void AutoExposure(PLContextT<Sample>* ctx, const void* frame, const AeWindow* region);

// The measure the state's pixel format calls for; -1 for a missed window or another format.
template <typename Sample>
int32_t AeMeasure(const PLContextT<Sample>& ctx, const void* frame, uint32_t w, uint32_t h,
                  const AeWindow& window);
