// Processor count and the vector features the kernels may use.
#pragma once

#include <cstdint>

namespace platform {

struct CpuFeatures {
  bool sse41 = false;
  bool avx2 = false;
};

// The raw CPUID/XGETBV words the features are decided from.
struct CpuidWords {
  uint32_t maxLeaf = 0;
  uint32_t leaf1Ecx = 0;
  uint32_t leaf7Ebx = 0;
  uint64_t xcr0 = 0;  // read only when leaf 1 reports OSXSAVE
};

CpuidWords ReadCpuid();
// AVX2 counts only when the OS saves the YMM state (XCR0 bits 1 and 2); otherwise AVX2
// instructions would fault even though CPUID lists them.
CpuFeatures DecodeCpuFeatures(const CpuidWords& words);
CpuFeatures DetectCpuFeatures();

uint32_t ProcessorCount();

}  // namespace platform
