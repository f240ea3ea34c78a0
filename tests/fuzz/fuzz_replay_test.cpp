// The fuzz checks over their seeds and 5,000 seeded mutations each, so every build fuzzes a
// little even without libFuzzer.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <vector>

#include "pipeline/store/crc32.h"
#include "tests/fuzz/fuzz_checks.h"
#include "tests/fuzz/fuzz_seeds.h"

namespace {

using fuzz::Bytes;

struct Target {
  const char* name;
  void (*check)(const uint8_t*, size_t);
  std::vector<Bytes> (*seeds)();
  std::vector<size_t> lengthFields;  // offsets of u32 length or count fields
  bool crcTail;                      // the last four bytes check the rest
};

const Target kTargets[] = {
    {"eeprom", fuzz::CheckEepromBlock, fuzz::EepromSeeds, {0, 5}, false},
    {"defect_lists", fuzz::CheckDefectLists, fuzz::DefectListSeeds, {1, 3, 7}, false},
    {"preset_buffer", fuzz::CheckPresetBuffer, fuzz::PresetSeeds, {}, true},
    {"preset_file", fuzz::CheckPresetFile, fuzz::PresetSeeds, {}, true},
};

constexpr int kMutations = 5000;

void putU32(Bytes& b, size_t at, uint32_t v) {
  for (size_t i = 0; i < 4 && at + i < b.size(); ++i) b[at + i] = uint8_t(v >> (8 * i));
}
uint32_t getU32(const Bytes& b, size_t at) {
  uint32_t v = 0;
  for (size_t i = 0; i < 4 && at + i < b.size(); ++i) v |= uint32_t(b[at + i]) << (8 * i);
  return v;
}

// Bit flips, truncations, growth, and length fields at 0, max and one off.
Bytes mutate(Bytes b, const Target& t, std::mt19937& rng) {
  const auto pick = [&](size_t n) { return n ? size_t(rng() % n) : 0; };
  switch (rng() % 4) {
    case 0:
      for (int i = 1 + int(rng() % 8); i > 0 && !b.empty(); --i)
        b[pick(b.size())] ^= 1 << (rng() % 8);
      break;
    case 1:
      b.resize(pick(b.size() + 1));
      break;
    case 2:
      for (int i = 1 + int(rng() % 64); i > 0; --i) b.push_back(uint8_t(rng()));
      break;
    default: {
      if (t.lengthFields.empty()) {
        b.resize(b.size() + (rng() % 2 ? 456 : 1));
        break;
      }
      const size_t at = t.lengthFields[pick(t.lengthFields.size())];
      const uint32_t v = getU32(b, at);
      const uint32_t choices[] = {0, 0xFFFFFFFFu, v + 1, v - 1};
      putU32(b, at, choices[rng() % 4]);
    }
  }
  if (t.crcTail && b.size() >= 4 && rng() % 2)
    putU32(b, b.size() - 4, Crc32(b.data(), b.size() - 4));
  return b;
}

class FuzzReplay : public ::testing::TestWithParam<Target> {};

TEST_P(FuzzReplay, SeedsAndMutationsKeepEveryProperty) {
  const Target& t = GetParam();
  const std::vector<Bytes> seeds = t.seeds();
  ASSERT_FALSE(seeds.empty());
  for (const Bytes& s : seeds) t.check(s.data(), s.size());
  std::mt19937 rng(22);
  for (int i = 0; i < kMutations; ++i) {
    const Bytes input = mutate(seeds[rng() % seeds.size()], t, rng);
    t.check(input.data(), input.size());
  }
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzReplay, ::testing::ValuesIn(kTargets),
                         [](const ::testing::TestParamInfo<Target>& i) {
                           return std::string(i.param.name);
                         });

}  // namespace
