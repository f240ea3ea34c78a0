// Starting the stripe workers of a state, the worker body, and handing a frame's stripes out.
#pragma once

#include <cstdint>

#include "pipeline/pl_context.h"
#include "pipeline/pl_frame_job.h"

// Workers for a processor count: none below 4, 1 with 4 to 7, 3 with 8 or more.
uint32_t WorkerCountFor(uint32_t processors);

// Rows per stripe: height / (workers + 1); the calling thread takes the rest.
uint32_t StripeRows(uint32_t height, uint32_t workers);

// Where the pool takes its processor count and how thread creation may be made to fail.
// A processor count of 0 means the process globals'.
struct WorkerEnvironment {
  uint32_t processorCount = 0;
  uint32_t failCreateMask = 0;  // bit k: creating the k-th thread fails
};
WorkerEnvironment& PipelineWorkerEnvironment();

// Starts the workers when the state qualifies and has none yet (a second call is a no-op).
// Slots fill densely from 0; events of a slot whose thread did not start are closed at once.
// Sets stepBits 6 and 7 when at least one started. Returns the number running.
template <typename Sample>
uint32_t PL_StartWorkers(PLContextT<Sample>& ctx);

// Runs band over rows [0, height): one band per worker when stepBits bit 7 is set and workers
// exist, each a multiple of `align` rows, and the rest on the calling thread (into
// callerCounts), then waits for all. Returns the number of workers that took a band; their
// counts are in their slots.
uint32_t RunBands(PLWorkers& workers, uint32_t stepBits, int32_t height, int32_t align, BandFn band,
                  const void* job, StatsCounters& callerCounts);

// Runs one frame's stripe steps over `height` rows of `image` as bands (above), then waits.
// The statistics counters of every thread are summed into `total` when the job collects them.
template <typename Sample>
void RunStripes(PLContextT<Sample>& ctx, const FrameJob<Sample>& job, Sample* image, int32_t height,
                StatsCounters& total);
