// The two 1.4 MP CCD classes: one progressive field, one resolution, no still.
#pragma once

#include "models/families/ccd_family.h"
#include "models/sensors/ccd_14mp_programs.h"

namespace ccd_14mp {

inline constexpr std::array<ResolutionRatio, 1> kRatios{{{1, 1}}};
inline constexpr std::array<uint32_t, 1> kMaxFrameRate{12};
inline constexpr std::array<uint32_t, 8> kTimingBlock{1054, 0, 474, 1834, 30, 1054, 474, 1834};

inline constexpr std::array<CcdMode, 1> kModes{{{
    .rawWidth = 0,
    .rawHeight = 0,
    .layout = {1360, 1024, 0x55000, 5, 1, {0, 0, 0}, 0, 0, 0},
    .grabRetry = 1,
    .maxFrameRate = 12,
    .shortForm = {kShortForm, kShortSpeed},
    .longForm = {kLongForm, kLongSpeed},
    .second = {kSecond, kLongSpeed},
    .timingBlock = kTimingBlock,
    .readoutMode = 1,
    .shortRangeUs = {127, ccd_family::kLongestUs, 110000},
}}};

inline constexpr ccd_family::ClassRow kRow{
    .size = CcdSize::Mp14,
    .flags = LUMORIX_FLAG_RAW8 | LUMORIX_FLAG_CCD_KIND1,
    .ratios = kRatios,
    .maxFrameRate = ccd_family::both<std::span<const uint32_t>>(kMaxFrameRate),
    .rawFrameBytes = 1394512,
    .transferSize = 0x55000,
    .bayer = 1,
    .exposureUs = ccd_family::both(ValueRange{127, ccd_family::kLongestUs, 110000}),
    .videoModeTimeUs = ccd_family::both(110000u),
    .wbBase = {337, 221, 311},
    .colourMatrix = {1.61359, -0.576641, -0.0369465, -0.246383, 1.64853, -0.402151, 0.0333748,
                     -0.752198, 1.71882},
    .firstOpen = CcdOpen::DriverState,
    .gainScale = 773,
    .gainFallback = 335,
    .modes = ccd_family::both<std::span<const CcdMode>>(kModes),
    .lineClocks = {1834, 1834},
    .minFrameLines = {1054, 1054},
};

}  // namespace ccd_14mp

inline constexpr CcdSpec kSpecQuillard01400KPB =
    ccd_family::describe(ccd_14mp::kRow, CreateQuillard01400KPB, false);
inline constexpr CcdSpec kSpecQuillard01400KPBV2 =
    ccd_family::describe(ccd_14mp::kRow, CreateQuillard01400KPBV2, true);
