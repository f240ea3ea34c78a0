// The stripe workers' slots in a pipeline state and the routine that ends them.
#include "pipeline/pl_workers.h"

#include <algorithm>
#include <atomic>

void PL_StopWorkers(PLWorkers& workers) {
  std::atomic_ref<uint8_t>(workers.runWorkers).store(0, std::memory_order_release);
  const uint32_t count = std::min(workers.workerCount, kMaxPipelineWorkers);
  for (uint32_t i = 0; i < count; ++i) {
    PLWorkerSlot& w = workers.slot[i];
    if (w.thread && w.thread->started()) {
      // Both events, so that a worker waiting on either wakes and sees runWorkers clear.
      if (w.start) w.start->set();
      if (w.done) w.done->set();
      w.thread->join();
    }
    w.thread.reset();
    w.start.reset();
    w.done.reset();
  }
  workers.workerCount = 0;
}
