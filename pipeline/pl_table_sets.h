// Published table sets: immutable once built, swapped in whole, held by readers while in use.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

template <typename Sample>
struct WbTableSet {
  std::array<std::vector<Sample>, 3> lut;  // R, G, B
  bool active = false;
};

template <typename Sample>
struct ToneTableSet {
  std::vector<Sample> lut;
};

template <typename Sample>
struct LevelTableSet {
  std::array<std::vector<Sample>, 4> lut;  // in the order the level step reads them
};

struct ColourTableSet {
  std::array<double, 9> hueSatMatrix{};
  std::array<int32_t, 9> coef{};                   // x 16384
  std::array<std::vector<int32_t>, 9> coefTables;  // entry v = v x coef, saturated to 32 bits
};

struct VignetteTableSet {
  uint32_t width = 0, height = 0;
  std::shared_ptr<const std::vector<int32_t>> radius;  // one per pixel; shared while the size holds
  std::vector<double> gain;                            // one per radius, R + 1 entries
};

// One snapshot of everything the pixel steps read; a set lives while any snapshot holds it.
template <typename Sample>
struct PLTableSets {
  std::shared_ptr<const WbTableSet<Sample>> wb;
  std::shared_ptr<const ToneTableSet<Sample>> tone;
  std::shared_ptr<const LevelTableSet<Sample>> level;
  std::shared_ptr<const ColourTableSet> colour;
  std::shared_ptr<const VignetteTableSet> vignette;
  std::shared_ptr<const ToneTableSet<Sample>> cameraTone;  // the camera's own curve, or none
  std::shared_ptr<const ToneTableSet<Sample>> output;      // the user's output table, or none
};
