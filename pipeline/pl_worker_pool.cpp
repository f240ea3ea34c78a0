// The stripe workers: start with dense slots, the worker loop, and one frame's hand-out.
#include "pipeline/pl_worker_pool.h"

#include <algorithm>
#include <atomic>

#include "base/process_globals.h"
#include "base/trace.h"

namespace {

// Long enough that only a stuck worker trips it; the wait then goes on, traced once.
constexpr uint32_t kDoneSliceMs = 5000;

uint8_t loadRun(PLWorkers& w) {
  return std::atomic_ref<uint8_t>(w.runWorkers).load(std::memory_order_acquire);
}

void threadBottom(PLWorkers& w, uint32_t k) {
  ZX_TRACE("%s: enter", "threadBottom");
  PLWorkerSlot& slot = w.slot[k];
  while (loadRun(w)) {
    slot.start->wait(platform::kInfinite);  // PL_StopWorkers sets it with runWorkers clear
    if (!loadRun(w)) {
      slot.done->set();
      break;
    }
    slot.band(slot.job, slot.firstRow, slot.rows, slot.stats);
    slot.done->set();
  }
  ZX_TRACE("%s: leave", "threadBottom");
}

// Workers run kernels only, no callback: never in a set, so no edge in the wait table.
void waitDone(PLWorkerSlot& slot) {
  bool traced = false;
  while (!slot.done->wait(kDoneSliceMs)) {
    if (!traced) ZX_TRACE_ERROR("%s: worker %u is slow", "PL_ProcessRaw", slot.index);
    traced = true;
  }
}

// The colour steps' hand-out: the frame's job and its working image.
template <typename Sample>
struct StripeJob {
  const FrameJob<Sample>& job;
  Sample* image;
};

template <typename Sample>
void stripeBand(const void* arg, int32_t firstRow, int32_t rows, StatsCounters& counts) {
  const auto& s = *static_cast<const StripeJob<Sample>*>(arg);
  RunStripe(s.job, s.image + size_t(firstRow) * s.job.rowSamples, rows, firstRow, counts);
}

}  // namespace

uint32_t WorkerCountFor(uint32_t processors) {
  if (processors < 4) return 0;
  return processors < 8 ? 1 : 3;
}

uint32_t StripeRows(uint32_t height, uint32_t workers) {
  return height / (workers + 1);
}

WorkerEnvironment& PipelineWorkerEnvironment() {
  static WorkerEnvironment env;
  return env;
}

template <typename Sample>
uint32_t PL_StartWorkers(PLContextT<Sample>& ctx) {
  PLWorkers& w = ctx.workers;
  if (w.workerCount > 0) return w.workerCount;  // already running for this state
  if (!ctx.isColour || ctx.hasIsp || !ctx.workersAllowed) return 0;
  const WorkerEnvironment& env = PipelineWorkerEnvironment();
  const uint32_t processors = env.processorCount ? env.processorCount : Globals().processorCount;
  const uint32_t wanted = WorkerCountFor(processors);
  if (wanted == 0) return 0;
  ZX_TRACE("%s: thread = %u", "PL_Start", wanted);
  std::atomic_ref<uint8_t>(w.runWorkers).store(1, std::memory_order_release);
  for (uint32_t attempt = 0; attempt < wanted; ++attempt) {
    const uint32_t k = w.workerCount;  // next free slot: started workers stay dense
    PLWorkerSlot& slot = w.slot[k];
    slot.state = &ctx;
    slot.index = k;
    slot.start = std::make_unique<platform::Event>(platform::Event::Kind::AutoReset, false);
    slot.done = std::make_unique<platform::Event>(platform::Event::Kind::AutoReset, false);
    slot.thread = std::make_unique<platform::Thread>();
    const bool refused = (env.failCreateMask >> attempt) & 1u;
    if (!refused && slot.start->valid() && slot.done->valid() &&
        slot.thread->start([&w, k] { threadBottom(w, k); })) {
      ++w.workerCount;
      continue;
    }
    ZX_TRACE_ERROR("%s: worker %u not started", "PL_Start", attempt);
    slot.thread.reset();
    slot.start.reset();
    slot.done.reset();
  }
  if (w.workerCount > 0) ctx.settings.stepBits |= kStepBitsWorkers;
  return w.workerCount;
}

uint32_t RunBands(PLWorkers& w, uint32_t stepBits, int32_t height, int32_t align, BandFn band,
                  const void* job, StatsCounters& callerCounts) {
  const bool useWorkers = w.workerCount > 0 && w.slot[0].thread && (stepBits & kStepBitsStripes);
  const uint32_t n = useWorkers ? w.workerCount : 0;
  const int32_t step = align > 1 ? align : 1;
  const int32_t s = int32_t(StripeRows(uint32_t(std::max(height, 0)), n)) / step * step;
  if (s == 0 || n == 0) {
    band(job, 0, height, callerCounts);
    return 0;
  }
  for (uint32_t k = 0; k < n; ++k) {
    PLWorkerSlot& slot = w.slot[k];
    slot.band = band;
    slot.job = job;
    slot.firstRow = int32_t(k) * s;
    slot.rows = s;
    slot.start->set();
  }
  const int32_t first = int32_t(n) * s;
  band(job, first, height - first, callerCounts);
  for (uint32_t k = 0; k < n; ++k) waitDone(w.slot[k]);
  return n;
}

template <typename Sample>
void RunStripes(PLContextT<Sample>& ctx, const FrameJob<Sample>& job, Sample* image, int32_t height,
                StatsCounters& total) {
  const StripeJob<Sample> stripes{job, image};
  const uint32_t n =
      RunBands(ctx.workers, job.settings.stepBits, height, 1, &stripeBand<Sample>, &stripes, total);
  if (job.stats)
    for (uint32_t k = 0; k < n; ++k) AddStatsCounts(total, ctx.workers.slot[k].stats);
}

template uint32_t PL_StartWorkers<uint8_t>(PLContext&);
template uint32_t PL_StartWorkers<uint16_t>(PLContext16&);
template void RunStripes<uint8_t>(PLContext&, const FrameJob<uint8_t>&, uint8_t*, int32_t,
                                  StatsCounters&);
template void RunStripes<uint16_t>(PLContext16&, const FrameJob<uint16_t>&, uint16_t*, int32_t,
                                   StatsCounters&);
