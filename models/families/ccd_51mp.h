// The two 5.1 MP CCD classes: full frame as three interlaced fields, a reduced mode, one still.
#pragma once

#include "models/families/ccd_family.h"
#include "models/sensors/ccd_51mp_programs.h"

namespace ccd_51mp {

inline constexpr std::array<ResolutionRatio, 2> kRatios{{{1, 1}, {4, 1}}};
inline constexpr std::array<uint32_t, 2> kFirstMaxFrameRate{4, 30};
inline constexpr std::array<uint32_t, 2> kSecondMaxFrameRate{5, 30};
using ccd_family::kNoSpeedRules;

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

inline constexpr ccd_family::ClassRow kRow{
    .size = CcdSize::Mp51,
    .flags = LUMORIX_FLAG_RAW8 | LUMORIX_FLAG_CCD_KIND2,
    .ratios = kRatios,
    .maxFrameRate = {kFirstMaxFrameRate, kSecondMaxFrameRate},
    .rawFrameBytes = 5213024,
    .transferSize = 0x51000,
    .bayer = 2,
    .defectModes = 2,
    .exposureUs = {ValueRange{212, 77503, 77503}, ValueRange{212, ccd_family::kLongestUs, 50000}},
    .videoModeTimeUs = {77503, 50000},
    .triggerModeTimeUs = {77503, ccd_family::kTriggerModeUs},
    .wbBase = {397, 256, 371},
    .colourMatrix = {1.493814, -0.469627, -0.066095, -0.185461, 1.452483, -0.345314, 0.060192,
                     -0.581342, 1.465509},
    .firstOpen = CcdOpen::DriverState,
    .gainScale = 495,
    .gainFallback = 225,
    .modes = {kFirstModes, kSecondModes},
    .lineClocks = {3072, 3672},
    .minFrameLines = {729, 219},
};

}  // namespace ccd_51mp

inline constexpr CcdSpec kSpecQuillard05100KPA =
    ccd_family::describe(ccd_51mp::kRow, CreateQuillard05100KPA, false);
inline constexpr CcdSpec kSpecQuillard05100KPAV2 =
    ccd_family::describe(ccd_51mp::kRow, CreateQuillard05100KPAV2, true);
