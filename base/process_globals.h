// State the whole library shares, set up once when the module is loaded.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "platform/cpu.h"
#include "platform/lock.h"
#include "platform/thread.h"

namespace platform {
class Registry;
}

inline constexpr uint32_t kMaxSpinThreads = 4;

struct ProcessGlobals {
  uint8_t sse41 = 0;
  uint8_t avx2 = 0;
  uint32_t processorCount = 1;
  // CPU-latency spin threads: min(processors / 4, 4), none below 4 processors.
  uint32_t spinThreadCount = 0;
  std::array<std::unique_ptr<platform::Thread>, kMaxSpinThreads> spinThreads;
  uint32_t spinRefCount = 0;
  platform::RecursiveLock spinLock;  // guards the three fields above
  int64_t perfFrequency = 0;
  uint32_t logMask = 0;
};

ProcessGlobals& Globals();

// What the machine tells; tests hand in their own.
struct ProcessEnvironment {
  platform::CpuFeatures cpu;
  uint32_t processorCount = 1;
  int64_t perfFrequency = 0;
  platform::Registry* registry = nullptr;  // null: the process's store
};

ProcessEnvironment MachineEnvironment();

void InitProcessGlobals();
void InitProcessGlobals(const ProcessEnvironment& env);

uint32_t SpinThreadCountFor(uint32_t processors);
// "log" under "Software\Brenvik\dshow": level min(value, 2); anything but a 4-byte DWORD is 0.
uint32_t ReadLogMask(platform::Registry& registry);
