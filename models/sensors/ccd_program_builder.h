// Timing programs written by structure: single rows, runs of registers whose values come from one
// table per program (0 where none is known), and pauses; the pair count is checked at compile time.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "models/common/ccd_descriptor.h"

namespace ccd_programs {

inline constexpr uint32_t kFromTable = 0xFFFFFFFFu;

struct Step {
  uint32_t first, last, value;
};
constexpr Step one(uint32_t reg, uint32_t value) {
  return {reg, reg, value};
}
constexpr Step run(uint32_t first, uint32_t last) {
  return {first, last, kFromTable};
}
constexpr Step pause(uint32_t ms) {
  return {kFpgaPause, kFpgaPause, ms};
}
// Register 48 in a short-form program: its value is the speed's.
constexpr Step speedMarker() {
  return {kFpgaSpeedMarker, kFpgaSpeedMarker, 0};
}

template <size_t A, size_t B>
constexpr std::array<Step, A + B> join(const std::array<Step, A>& a, const std::array<Step, B>& b) {
  std::array<Step, A + B> out{};
  for (size_t i = 0; i < A; ++i) out[i] = a[i];
  for (size_t i = 0; i < B; ++i) out[A + i] = b[i];
  return out;
}

// The long form's rows up to 21 = 1 and the pause after it, which the second generation's table
// repeats: the block registers 1024..lastBlock, one mode row, and the low registers from lowFirst.
constexpr std::array<Step, 17> longHead(uint32_t lastBlock, Step modeRow, uint32_t lowFirst) {
  return {one(16, 1),   pause(16),  run(144, 145), run(1024, lastBlock), run(64, 69), run(80, 89),
          run(96, 104), modeRow,    run(0, 1),     run(lowFirst, 6),     run(33, 34), run(48, 56),
          one(234, 96), one(22, 1), pause(30),     one(21, 1),           pause(48)};
}
// What most long forms end with, after their head.
inline constexpr std::array<Step, 6> kLongTail{one(32, 1), one(17, 1), one(19, 0),
                                               pause(48),  one(19, 1), one(21, 1)};
inline constexpr std::array<Step, 1> kSecondTail{one(17, 1)};

template <size_t V>
constexpr uint32_t valueOf(const std::array<FpgaPair, V>& values, uint32_t reg) {
  for (const FpgaPair& v : values)
    if (v.reg == reg) return v.value;
  return 0;
}

// N must be the program's pair count: a wrong one does not compile.
template <size_t N, size_t S, size_t V>
constexpr std::array<FpgaPair, N> expand(const std::array<Step, S>& steps,
                                         const std::array<FpgaPair, V>& values) {
  std::array<FpgaPair, N> out{};
  size_t n = 0;
  for (const Step& s : steps) {
    for (uint32_t reg = s.first; reg <= s.last; ++reg) {
      if (n >= N) throw "more pairs than declared";
      out[n++] = FpgaPair{reg, s.value == kFromTable ? valueOf(values, reg) : s.value};
    }
  }
  if (n != N) throw "fewer pairs than declared";
  return out;
}

}  // namespace ccd_programs
