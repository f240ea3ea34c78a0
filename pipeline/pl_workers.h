// The stripe workers' slots in a pipeline state and the routine that ends them.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "platform/event.h"
#include "platform/thread.h"

inline constexpr uint32_t kMaxPipelineWorkers = 3;

struct PLWorkerSlot {
  void* state = nullptr;  // start record: the state and this worker's index
  uint32_t index = 0;
  std::unique_ptr<platform::Thread> thread;
  std::unique_ptr<platform::Event> start;
  std::unique_ptr<platform::Event> done;
  void* stripeStart = nullptr;
  uint32_t stripeRows = 0;
  const void* job = nullptr;  // the frame's snapshot, written with the stripe before start
  // This worker's own statistics counters (luma, R, G, B), summed by the driver after the wait.
  std::array<std::array<uint32_t, 256>, 4> stats{};
};

struct PLWorkers {
  uint8_t runWorkers = 0;
  uint32_t workerCount = 0;
  std::array<PLWorkerSlot, kMaxPipelineWorkers> slot;
};

// Clears runWorkers, wakes every worker, joins it and releases its thread and events.
void PL_StopWorkers(PLWorkers& workers);
