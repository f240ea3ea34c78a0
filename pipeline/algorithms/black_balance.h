// One-push black balance: the mean of each channel in the ABB window becomes its black offset.
#pragma once

#include <array>
#include <cstdint>

#include "pipeline/algorithms/balance_measure.h"
#include "pipeline/pl_context.h"

using BlackOffsets = std::array<uint16_t, 3>;  // R, G, B in sample units

// trunc(sum / count) per channel within 0..65535; a channel without samples keeps `current`.
BlackOffsets BlackOffsetsFromSums(const ChannelSums& sums, const BlackOffsets& current);

// Stores the offsets in the settings and, when the camera applies black itself, hands them to
// it. Returns the offsets in force.
template <typename Sample>
BlackOffsets BlackBalanceResult(PLContextT<Sample>& ctx, const ChannelSums& sums);

// The measures by frame layout; each returns the offsets in force afterwards (unchanged when
// the window leaves the region or is empty). The camera's black-window sums stand in for the
// samples when it measures black itself.
template <typename Sample>
BlackOffsets BlackBalanceInit(PLContextT<Sample>& ctx, const Sample* raw, uint32_t bayer);
// RGB-input frames carry no samples to measure: without the camera's sums the offsets become 0.
BlackOffsets BlackBalanceInitBmp(PLContext& ctx, const void* source);
// Grey frames: one mean in all three offsets.
template <typename Sample>
BlackOffsets BlackBalanceInitMono(PLContextT<Sample>& ctx, const Sample* raw);
