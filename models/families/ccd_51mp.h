// The two 5.1 MP CCD classes: full frame as three interlaced fields, a reduced mode, one still.
#pragma once

#include "models/families/ccd_family.h"
#include "models/sensors/ccd_51mp_programs.h"

namespace ccd_51mp {

inline constexpr uint64_t kClassFlags = LUMORIX_FLAG_RAW8 | LUMORIX_FLAG_CCD_KIND2;
inline constexpr std::array<ResolutionRatio, 2> kRatios{{{1, 1}, {4, 1}}};
inline constexpr std::array<uint32_t, 2> kFirstMaxFrameRate{4, 30};
inline constexpr std::array<uint32_t, 2> kSecondMaxFrameRate{5, 30};
inline constexpr std::array<FpgaSpeedRule, 0> kNoSpeedRules{};

// Full frame: each field of the first generation led by 22 junk rows; the reduced mode straight.
constexpr CcdMode fullFrame(bool second) {
  return CcdMode{
      .rawWidth = 2592,
      .rawHeight = 1944,
      .layout = second ? FieldLayout{2592, 1944, 0x51000, 16, 3, {2, 0, 1}, 0, 0, 0}
                       : FieldLayout{2592, 1944, 0x51000, 18, 3, {1, 2, 0}, 57024, 6, 0},
      .grabRetry = 3,
      .maxFrameRate = second ? 5u : 4u,
      .shortForm = {kFullShort, kNoSpeedRules},
      .longForm = {kFullLong, kFullLongSpeed},
      .second = {kFullSecond, kFullSecondSpeed},
      .timingBlock = {729, 0, 480, 3072, 81, 729, 480, 3072},
      .readoutMode = 3,
      .shortRangeUs = {212, 77503, 77503},
  };
}
constexpr CcdMode reduced(bool second) {
  return CcdMode{
      .rawWidth = 2240,
      .rawHeight = 210,
      .layout = FieldLayout{2240, 210, 71680, 7, 1, {0, 0, 0}, 0, 0, second ? 0u : 1u},
      .grabRetry = 1,
      .maxFrameRate = 30,
      .shortForm = {kReducedShort, kNoSpeedRules},
      .longForm = {kReducedLong, kNoSpeedRules},
      .second = {kReducedSecond, kNoSpeedRules},
      .timingBlock = {219, 0, 1080, 3672, 9, 219, 1080, 3672},
      .readoutMode = 1,
      .shortRangeUs = {254, 27649, 27649},
  };
}
inline constexpr std::array<CcdMode, 2> kFirstModes{fullFrame(false), reduced(false)};
inline constexpr std::array<CcdMode, 2> kSecondModes{fullFrame(true), reduced(true)};

constexpr CcdSpec describe(ModelFactory factory, bool second) {
  ModelSpec m = ccd_family::baseSpec(factory, kClassFlags);
  m.ratios = kRatios;
  m.maxFrameRate = second ? std::span<const uint32_t>(kSecondMaxFrameRate) : kFirstMaxFrameRate;
  m.rawFrameBytes = 5213024, m.transferSize = 0x51000, m.bayer = 2, m.defectModes = 2;
  m.exposureUs =
      second ? ValueRange{212, ccd_family::kLongestUs, 50000} : ValueRange{212, 77503, 77503};
  m.videoModeTimeUs = second ? 50000 : 77503;
  m.triggerModeTimeUs = second ? ccd_family::kTriggerModeUs : 77503;
  m.wbBase = {397, 256, 371};
  m.colourMatrix = {1.493814,  -0.469627, -0.066095, -0.185461, 1.452483,
                    -0.345314, 0.060192,  -0.581342, 1.465509};
  return CcdSpec{m,
                 CcdSize::Mp51,
                 second,
                 second ? CcdOpen::Plain : CcdOpen::DriverState,
                 495,
                 225,
                 second ? std::span<const CcdMode>(kSecondModes) : kFirstModes,
                 {3072, 3672},
                 {729, 219}};
}

}  // namespace ccd_51mp

inline constexpr CcdSpec kSpecQuillard05100KPA = ccd_51mp::describe(CreateQuillard05100KPA, false);
inline constexpr CcdSpec kSpecQuillard05100KPAV2 =
    ccd_51mp::describe(CreateQuillard05100KPAV2, true);
