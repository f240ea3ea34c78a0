// The calibration file check over its seeds and seeded mutations of them, so that every build
// fuzzes the import even without a fuzzing compiler.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tests/fuzz/calibration_file_check.h"

namespace {

#ifdef _WIN32
constexpr int kMutations = 300;  // real files under Wine cost a thousand times more
#else
constexpr int kMutations = 3000;
#endif
constexpr size_t kWidthAt = 16, kHeightAt = 20, kBitsAt = 24;

uint32_t next(uint64_t& s) {
  s ^= s << 13, s ^= s >> 7, s ^= s << 17;
  return uint32_t(s >> 11);
}

void putU32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  if (b.size() < at + 4) return;
  for (size_t i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}
uint32_t getU32(const std::vector<uint8_t>& b, size_t at) {
  uint32_t v = 0;
  for (size_t i = 0; i < 4 && at + i < b.size(); ++i) v |= uint32_t(b[at + i]) << (8 * i);
  return v;
}

// Bit flips, truncations, extensions and the length fields at 0, max and one either side.
std::vector<uint8_t> mutate(std::vector<uint8_t> b, uint64_t& s) {
  switch (next(s) % 6) {
    case 0:
      if (!b.empty()) b[next(s) % b.size()] ^= uint8_t(1u << (next(s) % 8));
      break;
    case 1:
      b.resize(next(s) % (b.size() + 1));
      break;
    case 2:
      b.resize(b.size() + 1 + next(s) % 8, uint8_t(next(s)));
      break;
    case 3: {
      const size_t at = next(s) % 2 ? kWidthAt : kHeightAt;
      const uint32_t v = getU32(b, at);
      const uint32_t choices[] = {0, 0xFFFFFFFFu, v + 1, v - 1};
      putU32(b, at, choices[next(s) % 4]);
      break;
    }
    case 4:
      if (b.size() > kBitsAt) b[kBitsAt] = uint8_t(next(s));
      break;
    default:
      if (!b.empty()) b[next(s) % 16 % b.size()] = uint8_t(next(s));  // the kind id
  }
  return b;
}

TEST(FuzzReplayCalibration, SeedsAndMutations) {
  const auto seeds = fuzzcheck::CalibrationSeeds();
  ASSERT_EQ(seeds.size(), 7u);
  for (const auto& seed : seeds) {
    ASSERT_FALSE(seed.empty());
    fuzzcheck::CheckCalibrationFile(seed.data(), seed.size());
  }
  fuzzcheck::CheckCalibrationFile(nullptr, 0);
  uint64_t s = 0x9E3779B97F4A7C15ull;
  for (int i = 0; i < kMutations; ++i) {
    const auto input = mutate(seeds[size_t(i) % seeds.size()], s);
    fuzzcheck::CheckCalibrationFile(input.data(), input.size());
  }
}

}  // namespace
