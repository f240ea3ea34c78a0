// Writes the fuzz targets' seeds as files: fuzz_seeds <dir> gives <dir>/<target>/seed_<n>.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/fuzz/calibration_file_check.h"
#include "tests/fuzz/fuzz_seeds.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_seeds <corpus directory>\n");
    return 2;
  }
  const struct {
    const char* target;
    std::vector<fuzz::Bytes> seeds;
  } sets[] = {{"eeprom", fuzz::EepromSeeds()},
              {"defect_lists", fuzz::DefectListSeeds()},
              {"preset_buffer", fuzz::PresetSeeds()},
              {"preset_file", fuzz::PresetSeeds()},
              {"calibration_file", fuzzcheck::CalibrationSeeds()}};
  for (const auto& set : sets) {
    const std::filesystem::path dir = std::filesystem::path(argv[1]) / set.target;
    std::filesystem::create_directories(dir);
    for (size_t i = 0; i < set.seeds.size(); ++i) {
      std::ofstream out(dir / ("seed_" + std::to_string(i)), std::ios::binary);
      out.write(reinterpret_cast<const char*>(set.seeds[i].data()),
                static_cast<std::streamsize>(set.seeds[i].size()));
      if (!out) return 1;
    }
  }
  return 0;
}
