// The auto-exposure limits the exposure page accepts, and its defaults.
#pragma once

#include <cstdint>
#include <optional>

inline constexpr uint32_t kAeMaxTimeLowestMs = 10;
inline constexpr uint32_t kAeMaxTimeHighestMs = 5000;
inline constexpr uint32_t kAeMaxTimeDefaultMs = 350;
inline constexpr uint32_t kAeMaxGainLowest = 100;
inline constexpr uint16_t kAeMaxGainDefaultCap = 500;
inline constexpr uint32_t kAeThresholdLowest = 5;
inline constexpr uint32_t kAeThresholdHighest = 25;
inline constexpr uint32_t kAeThresholdDefault = 5;
inline constexpr int32_t kAePolicyDefault = 1;  // "Exposure Preferred"

// The maximum exposure time, in ms as typed (none when it does not parse): 10 to 5000 and within
// the camera's exposure range.
bool AeMaxTimeValid(std::optional<uint32_t> ms, uint32_t cameraMinUs, uint32_t cameraMaxUs);
// The maximum gain: 100 up to the camera's maximum gain.
bool AeMaxGainValid(std::optional<uint32_t> gain, uint16_t cameraMaxGain);
bool AeThresholdValid(std::optional<uint32_t> threshold);
uint16_t AeDefaultMaxGain(uint16_t cameraMaxGain);

// The span of maximum exposure times the field offers, in ms: the camera's range within
// 10..5000 ms.
struct AeTimeSpanMs {
  uint32_t lowest;
  uint32_t highest;
};
AeTimeSpanMs AeMaxTimeSpanMs(uint32_t cameraMinUs, uint32_t cameraMaxUs);
