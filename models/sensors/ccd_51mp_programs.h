// The 5.1 MP CCD's timing programs: full frame and reduced, short and long form, and the second
// generation's tables before their timing blocks.
#pragma once

#include "models/sensors/ccd_program_builder.h"

namespace ccd_51mp {

using namespace ccd_programs;

inline constexpr std::array<FpgaSpeedRule, 1> kFullLongSpeed{{{55, 40, 32}}};
inline constexpr std::array<FpgaSpeedRule, 1> kFullSecondSpeed{{{55, 36, 32}}};

// The values of the runs are not known; every run register is 0 unless listed here,
// where the real values go.
inline constexpr std::array<FpgaPair, 1> kLongValues{{{56, 1062}}};
inline constexpr std::array<FpgaPair, 18> kFullSecondValues{{{1264, 1},
                                                             {1268, 1},
                                                             {1284, 1},
                                                             {1288, 1},
                                                             {1304, 1},
                                                             {1308, 1},
                                                             {1324, 1},
                                                             {1328, 1},
                                                             {1344, 1},
                                                             {1364, 1},
                                                             {1391, 1},
                                                             {1392, 1},
                                                             {1403, 1},
                                                             {1404, 1},
                                                             {1415, 1},
                                                             {1416, 1},
                                                             {34, 1},
                                                             {56, 1054}}};
inline constexpr std::array<FpgaPair, 7> kReducedSecondValues{
    {{1104, 1}, {1108, 1}, {1124, 1}, {1128, 1}, {1152, 1}, {34, 1}, {56, 1054}}};
inline constexpr std::array<FpgaPair, 0> kNoValues{};

inline constexpr std::array kFullShortSteps = std::to_array<Step>(
    {one(127, 0),   one(16, 1),    one(0, 4),   one(127, 1), run(0, 59),   run(96, 110),
     run(128, 175), run(208, 231), one(127, 0), one(21, 1),  pause(1),     run(1, 3),
     run(17, 18),   one(20, 0),    one(22, 1),  run(24, 28), run(33, 34),  speedMarker(),
     one(49, 4097), run(51, 55),   run(64, 66), run(80, 84), run(96, 113), one(32, 1),
     one(17, 1),    one(19, 1),    pause(48),   one(19, 0),  one(21, 1)});
inline constexpr std::array kReducedShortSteps = std::to_array<Step>(
    {one(127, 0),   one(16, 1),    pause(48),     one(0, 4),     pause(1),    one(127, 1),
     run(0, 23),    run(96, 110),  run(128, 143), run(208, 215), one(127, 0), one(21, 1),
     pause(1),      run(1, 3),     run(17, 18),   one(20, 0),    one(22, 1),  run(24, 26),
     run(33, 34),   speedMarker(), one(49, 4097), run(51, 55),   run(64, 66), run(80, 84),
     run(100, 113), one(32, 1),    one(17, 1),    one(19, 1),    pause(48),   one(19, 0),
     one(21, 1)});
inline constexpr auto kFullHead = longHead(1419, one(2432, 2080), 4);
inline constexpr auto kReducedHead = longHead(1155, one(2176, 0), 4);
inline constexpr std::array<Step, 2> kSecondEnd{one(32, 0), one(17, 1)};

inline constexpr auto kFullShort = expand<207>(kFullShortSteps, kNoValues);
inline constexpr auto kReducedShort = expand<119>(kReducedShortSteps, kNoValues);
inline constexpr auto kFullLong = expand<453>(join(kFullHead, kLongTail), kLongValues);
inline constexpr auto kReducedLong = expand<189>(join(kReducedHead, kLongTail), kLongValues);
inline constexpr auto kFullSecond = expand<449>(join(kFullHead, kSecondEnd), kFullSecondValues);
inline constexpr auto kReducedSecond =
    expand<185>(join(kReducedHead, kSecondEnd), kReducedSecondValues);

}  // namespace ccd_51mp
