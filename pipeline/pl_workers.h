// The stripe workers' slots in a pipeline state and the routine that ends them.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "platform/event.h"
#include "platform/thread.h"

inline constexpr uint32_t kMaxPipelineWorkers = 3;

// Per-thread statistics counters (luma, R, G, B).
using StripeCounters = std::array<std::array<uint32_t, 256>, 4>;

// One band of a hand-out: rows [firstRow, firstRow + rows) of the job, counts into `counts`.
using BandFn = void (*)(const void* job, int32_t firstRow, int32_t rows, StripeCounters& counts);

struct PLWorkerSlot {
  void* state = nullptr;  // start record: the state and this worker's index
  uint32_t index = 0;
  std::unique_ptr<platform::Thread> thread;
  std::unique_ptr<platform::Event> start;
  std::unique_ptr<platform::Event> done;
  // The hand-out, written before start: what to run, on what, and which rows.
  BandFn band = nullptr;
  const void* job = nullptr;
  int32_t firstRow = 0;
  int32_t rows = 0;
  // This worker's own statistics counters, summed by the driver after the wait.
  StripeCounters stats{};
};

struct PLWorkers {
  uint8_t runWorkers = 0;
  uint32_t workerCount = 0;
  std::array<PLWorkerSlot, kMaxPipelineWorkers> slot;
};

// Clears runWorkers, wakes every worker, joins it and releases its thread and events.
void PL_StopWorkers(PLWorkers& workers);
