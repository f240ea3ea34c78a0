// libFuzzer entry: every input through fuzz::CheckDefectLists.
#include <cstddef>
#include <cstdint>

#include "tests/fuzz/fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::CheckDefectLists(data, size);
  return 0;
}
