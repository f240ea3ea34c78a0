// What the six CCD classes share in their descriptors: flags, gain limits, auto-exposure limits
// and a straight raw table.
#pragma once

#include "base/lumorix_flags.h"
#include "models/common/ccd_descriptor.h"
#include "models/model_factories.h"

namespace ccd_family {

inline constexpr std::array<LutAnchor, 2> kStraightLut{{{0, 0}, {255, 255}}};
inline constexpr uint32_t kTriggerModeUs = 5'000'000;
inline constexpr uint32_t kLongestUs = 60'000'000;

// The descriptor fields every CCD class fills alike; the class sets the rest.
constexpr ModelSpec baseSpec(ModelFactory factory, uint64_t flags) {
  return ModelSpec{
      .factory = factory,
      .sensor = nullptr,
      .ratios = {},
      .maxFrameRate = {},
      .rawFrameBytes = 0,
      .transferSize = 0,
      .defaultPreviewIndex = 0,
      .bayer = 0,
      .defectModes = 1,
      .defaultSpeed = 1,
      .exposureUs = {0, 0, 0},
      .gainPercent = {100, 500, 100},
      .aeTimeUs = {10000, 350000, 0},
      .aeGainPercent = {100, 500, 0},
      .triggerModeTimeUs = kTriggerModeUs,
      .videoModeTimeUs = 0,
      .presetTriggerTimeUs = kTriggerModeUs,
      .presetAeThreshold = 5,
      .inEndpoint = 1,
      .wbBase = {256, 256, 256},
      .colourMatrix = {},
      .rawLutAnchors = kStraightLut,
      .helperFlags = flags,
      .helperDoubles = {0.5, 1.0, 1.0},
      .trailerFromRevision3 = false,
  };
}

}  // namespace ccd_family
