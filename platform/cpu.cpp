// CPUID and XGETBV decoding, shared by both platforms (gcc's <cpuid.h> serves either target).
#include <cpuid.h>

#include "platform/cpu.h"

namespace platform {

CpuidWords ReadCpuid() {
  CpuidWords w;
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (!__get_cpuid(0, &a, &b, &c, &d)) return w;
  w.maxLeaf = a;
  if (w.maxLeaf >= 1) {
    __cpuid(1, a, b, c, d);
    w.leaf1Ecx = c;
    if (c & bit_OSXSAVE) {
      unsigned lo = 0, hi = 0;
      __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
      w.xcr0 = (static_cast<uint64_t>(hi) << 32) | lo;
    }
  }
  if (w.maxLeaf >= 7) {
    __cpuid_count(7, 0, a, b, c, d);
    w.leaf7Ebx = b;
  }
  return w;
}

CpuFeatures DecodeCpuFeatures(const CpuidWords& w) {
  CpuFeatures f;
  f.sse41 = w.maxLeaf >= 1 && (w.leaf1Ecx & (1u << 19));
  const bool osxsave = w.maxLeaf >= 1 && (w.leaf1Ecx & (1u << 27));
  const bool ymmSaved = osxsave && (w.xcr0 & 0x6) == 0x6;
  f.avx2 = w.maxLeaf >= 7 && (w.leaf7Ebx & (1u << 5)) && ymmSaved;
  return f;
}

CpuFeatures DetectCpuFeatures() {
  return DecodeCpuFeatures(ReadCpuid());
}

}  // namespace platform
