// A reader holding table snapshots while another thread rebuilds and swaps the sets.
#include <atomic>
#include <thread>

#include "pipeline/pl_tables.h"
#include "pipeline/pl_vignette.h"
#include "pipeline_kit.h"

using namespace zxtest;

namespace {

class PipelineTablePublication : public RegistryTest {};

TEST_F(PipelineTablePublication, ReadersKeepWholeSetsWhileWritersSwap) {
  auto p = colourParams(64, 48);
  p.regKey = nullptr;
  PLContextPtr ctx(PL_Init(&p));
  ASSERT_TRUE(ctx);
  std::atomic<bool> stop{false};
  std::atomic<int> snapshots{0};
  std::thread reader([&] {
    while (!stop.load()) {
      const auto t = SnapshotTables(*ctx);
      // Every published white-balance set is internally consistent: the green table is
      // monotonic and ends at 255, whichever gains built it.
      uint32_t previous = 0;
      for (uint32_t v = 0; v < 256; ++v) {
        ASSERT_GE(t.wb->lut[1][v], previous);
        previous = t.wb->lut[1][v];
      }
      ASSERT_EQ(t.tone->lut.size(), 256u);
      if (t.vignette) {
        ASSERT_EQ(t.vignette->radius->size(), 64u * 48u);
      }
      snapshots.fetch_add(1);
    }
  });
  for (int i = 0; i < 300; ++i) {
    {
      std::lock_guard<platform::RecursiveLock> hold(*ctx->mtxSettings);
      ctx->wbGain = {128, static_cast<uint32_t>(128 + i % 128), 128};
      ctx->settings.brightness = i % 20;
    }
    PL_UpdateWbLut(ctx.get());
    PL_UpdateToneCurve(ctx.get());
    PL_BuildVignetteTable(ctx.get());
  }
  while (snapshots.load() < 10) std::this_thread::yield();
  stop = true;
  reader.join();
}

}  // namespace
