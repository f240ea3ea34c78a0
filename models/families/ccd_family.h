// What the six CCD classes share in their descriptors (flags, gain limits, auto-exposure limits,
// a straight raw table) and the one row each class fills for both its generations.
#pragma once

#include "base/lumorix_flags.h"
#include "models/common/ccd_descriptor.h"
#include "models/model_factories.h"

namespace ccd_family {

inline constexpr std::array<LutAnchor, 2> kStraightLut{{{0, 0}, {255, 255}}};
inline constexpr uint32_t kTriggerModeUs = 5'000'000;
inline constexpr uint32_t kLongestUs = 60'000'000;
inline constexpr std::array<FpgaSpeedRule, 0> kNoSpeedRules{};

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

// A value that differs between the first and the second interface generation.
template <class T>
struct PerGeneration {
  T first, second;
  constexpr T of(bool isSecond) const { return isSecond ? second : first; }
};
template <class T>
constexpr PerGeneration<T> both(T value) {
  return {value, value};
}

// One CCD class, both generations: what its descriptors set beyond baseSpec.
struct ClassRow {
  CcdSize size;
  uint64_t flags;
  std::span<const ResolutionRatio> ratios;
  PerGeneration<std::span<const uint32_t>> maxFrameRate;
  uint32_t rawFrameBytes;
  uint32_t transferSize;
  uint32_t bayer;
  uint32_t defectModes = 1;
  PerGeneration<ValueRange> exposureUs;
  PerGeneration<uint32_t> videoModeTimeUs;
  PerGeneration<uint32_t> triggerModeTimeUs = both(kTriggerModeUs);
  std::array<uint16_t, 3> wbBase;
  std::array<double, 9> colourMatrix;
  CcdOpen firstOpen;  // the second generation opens plainly
  uint32_t gainScale;
  uint16_t gainFallback;
  PerGeneration<std::span<const CcdMode>> modes;
  std::array<uint32_t, 2> lineClocks;
  std::array<uint32_t, 2> minFrameLines;
};

constexpr CcdSpec describe(const ClassRow& row, ModelFactory factory, bool second) {
  ModelSpec m = baseSpec(factory, row.flags);
  m.ratios = row.ratios, m.maxFrameRate = row.maxFrameRate.of(second);
  m.rawFrameBytes = row.rawFrameBytes, m.transferSize = row.transferSize;
  m.bayer = row.bayer, m.defectModes = row.defectModes;
  m.exposureUs = row.exposureUs.of(second);
  m.videoModeTimeUs = row.videoModeTimeUs.of(second);
  m.triggerModeTimeUs = row.triggerModeTimeUs.of(second);
  m.wbBase = row.wbBase, m.colourMatrix = row.colourMatrix;
  return CcdSpec{m,
                 row.size,
                 second,
                 second ? CcdOpen::Plain : row.firstOpen,
                 row.gainScale,
                 row.gainFallback,
                 row.modes.of(second),
                 row.lineClocks,
                 row.minFrameLines};
}

}  // namespace ccd_family
