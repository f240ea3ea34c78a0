// Fuzz target: any bytes as a calibration file, imported into every kind of state.
#include <cstddef>
#include <cstdint>

#include "tests/fuzz/calibration_file_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzcheck::CheckCalibrationFile(data, size);
  return 0;
}
