// libFuzzer entry: every input through fuzz::CheckPresetFile.
#include <cstddef>
#include <cstdint>

#include "tests/fuzz/fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::CheckPresetFile(data, size);
  return 0;
}
