// Process globals: CPU features, processor count, spin-thread budget, log mask.
#include "base/process_globals.h"

#include <algorithm>

#include "base/trace.h"
#include "platform/clock.h"
#include "platform/registry.h"

namespace {
constexpr const char* kLogKey = "Software\\Brenvik\\dshow";
}

ProcessGlobals& Globals() {
  static ProcessGlobals globals;
  return globals;
}

uint32_t LogMask() {
  return Globals().logMask;
}

uint32_t SpinThreadCountFor(uint32_t processors) {
  return std::min(processors / 4, kMaxSpinThreads);
}

uint32_t ReadLogMask(platform::Registry& registry) {
  uint32_t value = 0;
  if (registry.readDword(kLogKey, "log", value) != platform::RegStatus::Ok) return 0;
  switch (std::min<uint32_t>(value, 2)) {
    case 1:
      return kLogErrors;
    case 2:
      return kLogVerbose;
    default:
      return 0;
  }
}

ProcessEnvironment MachineEnvironment() {
  ProcessEnvironment env;
  env.cpu = platform::DetectCpuFeatures();
  env.processorCount = platform::ProcessorCount();
  env.perfFrequency = platform::PerfFrequency();
  return env;
}

void InitProcessGlobals() {
  InitProcessGlobals(MachineEnvironment());
}

void InitProcessGlobals(const ProcessEnvironment& env) {
  ProcessGlobals& g = Globals();
  g.sse41 = env.cpu.sse41;
  g.avx2 = env.cpu.avx2;
  g.processorCount = env.processorCount;
  {
    std::lock_guard<platform::RecursiveLock> lock(g.spinLock);
    g.spinThreadCount = SpinThreadCountFor(env.processorCount);
  }
  g.perfFrequency = env.perfFrequency;
  g.logMask = ReadLogMask(env.registry ? *env.registry : platform::CurrentRegistry());
}
