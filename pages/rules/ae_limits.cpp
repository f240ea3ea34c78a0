// The auto-exposure limits the exposure page accepts.
#include "pages/rules/ae_limits.h"

#include <algorithm>

bool AeMaxTimeValid(std::optional<uint32_t> ms, uint32_t cameraMinUs, uint32_t cameraMaxUs) {
  return ms && *ms >= kAeMaxTimeLowestMs && *ms <= kAeMaxTimeHighestMs &&
         *ms >= cameraMinUs / 1000 && *ms <= cameraMaxUs / 1000;
}

bool AeMaxGainValid(std::optional<uint32_t> gain, uint16_t cameraMaxGain) {
  return gain && *gain >= kAeMaxGainLowest && *gain <= cameraMaxGain;
}

bool AeThresholdValid(std::optional<uint32_t> threshold) {
  return threshold && *threshold >= kAeThresholdLowest && *threshold <= kAeThresholdHighest;
}

uint16_t AeDefaultMaxGain(uint16_t cameraMaxGain) {
  return std::min(cameraMaxGain, kAeMaxGainDefaultCap);
}

AeTimeSpanMs AeMaxTimeSpanMs(uint32_t cameraMinUs, uint32_t cameraMaxUs) {
  const uint32_t lowerUs = std::max(cameraMinUs, kAeMaxTimeLowestMs * 1000);
  const uint32_t upperUs = std::min(cameraMaxUs, kAeMaxTimeHighestMs * 1000);
  return {lowerUs / 1000, upperUs / 1000};
}
