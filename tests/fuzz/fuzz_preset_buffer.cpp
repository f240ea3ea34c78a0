// libFuzzer entry: every input through fuzz::CheckPresetBuffer.
#include <cstddef>
#include <cstdint>

#include "tests/fuzz/fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::CheckPresetBuffer(data, size);
  return 0;
}
