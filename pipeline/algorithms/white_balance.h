// One-push white balance: channel means to gains, then to temperature and tint or RGB gains.
#pragma once

#include <array>
#include <cstdint>

#include "pipeline/algorithms/balance_measure.h"
#include "pipeline/pl_context.h"

// Gains with G = 256 that bring the means to grey against the model's base gains; neutral
// (256, 256, 256) when a channel has no samples or a gain falls outside 1..INT32_MAX. Worked
// number: means R 100, G 50, B 25 with base 256 give R 128, B 512.
std::array<uint32_t, 3> WhiteBalanceGains(const ChannelSums& sums,
                                          const std::array<uint32_t, 3>& base);

// RGB-gain form (128 = 1.0): the largest becomes 128, the others in proportion, rounded and
// kept within 1..128 so that no channel is switched off.
std::array<uint32_t, 3> RgbModeGains(const std::array<uint32_t, 3>& gains);

// Measures the AWB window of a raw mosaic frame at the running size (`bayer` its first sample's
// order) and applies the result; a window outside the region or empty changes nothing.
template <typename Sample>
void WhiteBalanceInit(PLContextT<Sample>& ctx, const Sample* raw, uint32_t bayer);
// The same for RGB-input frames; source is the camera's packed frame (its window sums).
void WhiteBalanceInitBmp(PLContext& ctx, const uint8_t* image, const void* source);

// Gains from the sums, then ApplyWhiteBalanceResult.
template <typename Sample>
void WhiteBalanceFromMeans(PLContextT<Sample>& ctx, const ChannelSums& sums);

// Stores the gains (temperature and tint, or RGB gains, by the state's mode), rebuilds and
// publishes the white-balance tables under the settings lock and saves the values.
template <typename Sample>
void ApplyWhiteBalanceResult(PLContextT<Sample>& ctx, std::array<uint32_t, 3> gains);

// Reports the values in force to the temperature/tint or the RGB host callback.
template <typename Sample>
void NotifyWhiteBalance(PLContextT<Sample>& ctx);
