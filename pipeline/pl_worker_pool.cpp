// The stripe workers: start with dense slots, the worker loop, and one frame's hand-out.
#include "pipeline/pl_worker_pool.h"

#include <atomic>

#include "base/process_globals.h"
#include "base/trace.h"

namespace {

// Long enough that only a stuck worker trips it; the wait then goes on, traced once.
constexpr uint32_t kDoneSliceMs = 5000;

uint8_t loadRun(PLWorkers& w) {
  return std::atomic_ref<uint8_t>(w.runWorkers).load(std::memory_order_acquire);
}

template <typename Sample>
void threadBottom(PLContextT<Sample>* ctx, uint32_t k) {
  ZX_TRACE("%s: enter", "threadBottom");
  PLWorkers& w = ctx->workers;
  PLWorkerSlot& slot = w.slot[k];
  while (loadRun(w)) {
    slot.start->wait(platform::kInfinite);  // PL_StopWorkers sets it with runWorkers clear
    if (!loadRun(w)) {
      slot.done->set();
      break;
    }
    const auto& job = *static_cast<const FrameJob<Sample>*>(slot.job);
    const int32_t first = int32_t(k * slot.stripeRows);
    RunStripe(job, static_cast<Sample*>(slot.stripeStart), int32_t(slot.stripeRows), first,
              slot.stats);
    slot.done->set();
  }
  ZX_TRACE("%s: leave", "threadBottom");
}

void waitDone(PLWorkerSlot& slot) {
  bool traced = false;
  while (!slot.done->wait(kDoneSliceMs)) {
    if (!traced) ZX_TRACE_ERROR("%s: worker %u is slow", "PL_ProcessRaw", slot.index);
    traced = true;
  }
}

void addCounts(StatsCounters& total, const StatsCounters& part) {
  for (size_t c = 0; c < 4; ++c)
    for (size_t i = 0; i < 256; ++i) total[c][i] += part[c][i];
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
        slot.thread->start([&ctx, k] { threadBottom(&ctx, k); })) {
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

template <typename Sample>
void RunStripes(PLContextT<Sample>& ctx, const FrameJob<Sample>& job, Sample* image, int32_t height,
                StatsCounters& total) {
  PLWorkers& w = ctx.workers;
  const bool useWorkers = w.workerCount > 0 && w.slot[0].thread && (job.settings.stepBits & 0x80u);
  const uint32_t n = useWorkers ? w.workerCount : 0;
  const uint32_t s = StripeRows(uint32_t(height), n);
  if (s == 0 || n == 0) {
    RunStripe(job, image, height, 0, total);
    return;
  }
  for (uint32_t k = 0; k < n; ++k) {
    PLWorkerSlot& slot = w.slot[k];
    slot.job = &job;
    slot.stripeStart = image + size_t(k) * s * job.rowSamples;
    slot.stripeRows = s;
    slot.start->set();
  }
  const int32_t first = int32_t(n * s);
  RunStripe(job, image + size_t(first) * job.rowSamples, height - first, first, total);
  for (uint32_t k = 0; k < n; ++k) waitDone(w.slot[k]);
  if (job.stats)
    for (uint32_t k = 0; k < n; ++k) addCounts(total, w.slot[k].stats);
}

template uint32_t PL_StartWorkers<uint8_t>(PLContext&);
template uint32_t PL_StartWorkers<uint16_t>(PLContext16&);
template void RunStripes<uint8_t>(PLContext&, const FrameJob<uint8_t>&, uint8_t*, int32_t,
                                  StatsCounters&);
template void RunStripes<uint16_t>(PLContext16&, const FrameJob<uint16_t>&, uint16_t*, int32_t,
                                   StatsCounters&);
