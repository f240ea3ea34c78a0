// The gain program of the 16-bit-register USB3 sensors (8.5, 10 and 14 MP): green, blue, red and
// green codes at fixed ratios to green, written inside one held group.
#pragma once

#include <array>
#include <cstdint>

#include "models/common/register_program.h"

// The ratios are multiplied in double and truncated, so 100 x 1.15 gives 114.
inline void HeldGainProgram(ProgramBuffer& out, uint16_t percent, uint16_t (*code)(uint32_t)) {
  constexpr uint16_t kHold = 0x0104;
  constexpr std::array<uint16_t, 4> kGains{0x3056, 0x3058, 0x305A, 0x305C};
  constexpr std::array<double, 4> kRatio{1.0, 1.15, 1.58, 1.0};
  out.add(Write(kHold, 0x0100));
  for (size_t i = 0; i < kGains.size(); ++i)
    out.add(Write(kGains[i], code(static_cast<uint32_t>(percent * kRatio[i]))));
  out.add(Write(kHold, 0));
}
