// The two 3.1 MP CCD classes: full frame as two interlaced fields, a reduced mode, one still.
#pragma once

#include "models/families/ccd_family.h"
#include "models/sensors/ccd_31mp_programs.h"

namespace ccd_31mp {

inline constexpr std::array<ResolutionRatio, 2> kRatios{{{1, 1}, {3, 1}}};
inline constexpr std::array<uint32_t, 2> kMaxFrameRate{6, 41};
using ccd_family::kNoSpeedRules;

// Full frame: each field led by 41 junk rows; the reduced mode comes straight.
constexpr CcdMode fullFrame(bool second) {
  return CcdMode{
      .rawWidth = 0,
      .rawHeight = 0,
      .layout = second ? FieldLayout{2048, 1536, 0x80000, 7, 2, {1, 0, 0}, 0, 0, 0}
                       : FieldLayout{2048, 1536, 0x80000, 8, 2, {0, 1, 0}, 83968, 4, 0},
      .grabRetry = 2,
      .maxFrameRate = 6,
      .shortForm = {kFullShort, kNoSpeedRules},
      .longForm = {kFullLong, kNoSpeedRules},
      .second = {kFullSecond, kNoSpeedRules},
      .timingBlock = {818, 0, 260, 2308, 50, 818, 260, 2308},
      .readoutMode = 2,
      .shortRangeUs = {178, 77376, 77376},
  };
}
constexpr CcdMode reduced(bool second) {
  return CcdMode{
      .rawWidth = 2048,
      .rawHeight = 240,
      .layout = second ? FieldLayout{2048, 240, 0x10000, 8, 1, {0, 0, 0}, 0, 0, 0}
                       : FieldLayout{2048, 240, 0x20000, 4, 1, {0, 0, 0}, 0, 0, 1},
      .grabRetry = 1,
      .maxFrameRate = 41,
      .shortForm = {kReducedShort, kNoSpeedRules},
      .longForm = {kReducedLong, kNoSpeedRules},
      .second = {kReducedSecond, kNoSpeedRules},
      .timingBlock = {252, 0, 252, 2300, 12, 252, 252, 2300},
      .readoutMode = 1,
      .shortRangeUs = {184, 23000, 23000},
  };
}
inline constexpr std::array<CcdMode, 2> kFirstModes{fullFrame(false), reduced(false)};
inline constexpr std::array<CcdMode, 2> kSecondModes{fullFrame(true), reduced(true)};

inline constexpr ccd_family::ClassRow kRow{
    .size = CcdSize::Mp31,
    .flags = LUMORIX_FLAG_RAW8 | LUMORIX_FLAG_CCD_KIND2,
    .ratios = kRatios,
    .maxFrameRate = ccd_family::both<std::span<const uint32_t>>(kMaxFrameRate),
    .rawFrameBytes = 3316224,
    .transferSize = 0x80000,
    .bayer = 0,
    .defectModes = 2,
    .exposureUs = ccd_family::both(ValueRange{200, ccd_family::kLongestUs, 50000}),
    .videoModeTimeUs = ccd_family::both(50000u),
    .wbBase = {368, 256, 371},
    .colourMatrix = {1.34701, -0.322637, -0.031562, -0.103847, 1.356682, -0.277828, 0.087038,
                     -0.516015, 1.340615},
    .firstOpen = CcdOpen::DriverStateRequery,
    .gainScale = 495,
    .gainFallback = 225,
    .modes = {kFirstModes, kSecondModes},
    .lineClocks = {2288, 2300},
    .minFrameLines = {818, 252},
};

}  // namespace ccd_31mp

inline constexpr CcdSpec kSpecQuillard03100KPB =
    ccd_family::describe(ccd_31mp::kRow, CreateQuillard03100KPB, false);
inline constexpr CcdSpec kSpecQuillard03100KPBV2 =
    ccd_family::describe(ccd_31mp::kRow, CreateQuillard03100KPBV2, true);
