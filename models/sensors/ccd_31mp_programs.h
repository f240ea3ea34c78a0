// The 3.1 MP CCD's timing programs: full frame and reduced, short and long form, and the second
// generation's tables before their timing blocks.
#pragma once

#include "models/sensors/ccd_program_builder.h"

namespace ccd_31mp {

using namespace ccd_programs;

// The values of the runs are not known; every run register is 0 unless listed here,
// where the real values go.
inline constexpr std::array<FpgaPair, 1> kFullLongValues{{{56, 1024}}};
inline constexpr std::array<FpgaPair, 1> kReducedLongValues{{{56, 1062}}};
inline constexpr std::array<FpgaPair, 15> kFullSecondValues{{{1264, 1},
                                                             {1268, 1},
                                                             {1284, 1},
                                                             {1288, 1},
                                                             {1304, 1},
                                                             {1308, 1},
                                                             {1324, 1},
                                                             {1328, 1},
                                                             {1344, 1},
                                                             {1348, 1},
                                                             {1364, 1},
                                                             {1392, 1},
                                                             {1404, 1},
                                                             {34, 1},
                                                             {56, 1054}}};
inline constexpr std::array<FpgaPair, 1> kReducedSecondValues{{{56, 1054}}};
inline constexpr std::array<FpgaPair, 0> kNoValues{};

inline constexpr std::array kFullShortSteps = std::to_array<Step>(
    {one(127, 0),   one(16, 1),  one(0, 4),   one(127, 1),  run(0, 71),    run(128, 175),
     run(208, 223), one(127, 0), one(21, 1),  pause(1),     run(1, 3),     run(17, 18),
     one(20, 0),    one(22, 1),  run(24, 28), run(33, 34),  speedMarker(), one(49, 4097),
     run(51, 55),   run(64, 66), run(80, 84), run(96, 113), one(32, 1),    one(17, 1),
     one(19, 1),    pause(48),   one(19, 0),  one(21, 1)});
inline constexpr std::array kReducedShortSteps = std::to_array<Step>(
    {one(127, 0), one(16, 1),    pause(48),     one(0, 4),     pause(1),      one(127, 1),
     run(0, 23),  run(96, 110),  run(112, 126), run(128, 143), run(208, 215), one(127, 0),
     one(21, 1),  pause(1),      run(1, 3),     run(17, 18),   one(20, 0),    one(22, 1),
     run(24, 26), run(33, 34),   speedMarker(), one(49, 4097), run(51, 55),   run(64, 66),
     run(80, 84), run(100, 113), one(32, 1),    one(17, 1),    one(19, 1),    pause(48),
     one(19, 0),  one(21, 1)});
inline constexpr auto kFullHead = longHead(1407, one(2304, 32), 5);
inline constexpr auto kReducedHead = longHead(1135, one(2176, 0), 4);
inline constexpr std::array<Step, 6> kReducedLongTail{one(32, 1), one(17, 1), one(19, 0),
                                                      pause(16),  one(19, 1), one(20, 1)};

inline constexpr auto kFullShort = expand<196>(kFullShortSteps, kNoValues);
inline constexpr auto kReducedShort = expand<134>(kReducedShortSteps, kNoValues);
inline constexpr auto kFullLong = expand<440>(join(kFullHead, kLongTail), kFullLongValues);
inline constexpr auto kReducedLong =
    expand<169>(join(kReducedHead, kReducedLongTail), kReducedLongValues);
inline constexpr auto kFullSecond = expand<435>(join(kFullHead, kSecondTail), kFullSecondValues);
inline constexpr auto kReducedSecond =
    expand<164>(join(kReducedHead, kSecondTail), kReducedSecondValues);

}  // namespace ccd_31mp
