// The whole raw-to-RGB24 path (PL_ProcessFrame8) at two sizes with 0, 1 and 3 stripe workers,
// reported against a plain memcpy of one output frame measured in the same run; the closing
// table gives each worker count's median time against none.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/lumorix_flags.h"
#include "bench/ratio_reporter.h"
#include "kernels/kernel_base.h"
#include "pipeline/pl_frame_hooks.h"
#include "pipeline/pl_start.h"
#include "pipeline/pl_tables.h"
#include "pipeline/pl_worker_pool.h"
#include "tests/support/idle_helper.h"

namespace {

// The model operations do nothing: the benchmark only converts frames.
using BenchHelper = IdleHelper;

double medianMemcpySeconds(std::vector<uint8_t>& dst, const std::vector<uint8_t>& src) {
  std::vector<double> t;
  for (int i = 0; i < 15; ++i) {
    const auto a = std::chrono::steady_clock::now();
    std::memcpy(dst.data(), src.data(), dst.size());
    benchmark::ClobberMemory();
    t.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - a).count());
  }
  std::nth_element(t.begin(), t.begin() + 7, t.end());
  return t[7];
}

// A catalogued colour model's kind of defaults: tone curve, base gains, matrix, raw table.
void configure(BenchHelper& h) {
  h.wbGainBase = {330, 256, 410};
  h.colourMatrix = {1.52, -0.38, -0.14, -0.24, 1.41, -0.17, 0.02, -0.55, 1.53};
  static uint8_t lut[256];
  for (int v = 0; v < 256; ++v) lut[v] = uint8_t(std::lround(255.0 * std::pow(v / 255.0, 0.9)));
  h.rawLut8 = lut;
  h.gainMin = 100, h.gainMax = 1600, h.gainDefault = 100;
  h.timeMin = 100, h.timeMax = 1000000, h.timeDefault = 10000;
}

void BM_ProcessFrame8(benchmark::State& state) {
  const auto w = uint32_t(state.range(0)), ht = uint32_t(state.range(1));
  const auto workers = uint32_t(state.range(2));
  PipelineWorkerEnvironment() = {workers == 0 ? 2u : workers == 1 ? 4u : 8u, 0};
  PLHlperArgs args;
  args.maxWidth = args.frameWidth = w;
  args.maxHeight = args.frameHeight = ht;
  args.modelFlags = LUMORIX_FLAG_RAW8;
  args.hasToneMapping = 1;
  BenchHelper h(args);
  configure(h);
  InitPipeLineStep1(h, 0, w, ht, nullptr, 0, 0);
  if (!h.ctx8 || PL_StartWorkers(*h.ctx8) != workers) {
    state.SkipWithError("no pipeline state or workers");
    return;
  }
  h.ctx8->settings.stepBits |= 4;  // the raw table
  h.ctx8->settings.processFlags |= PLProcessFlags::kToneMap2;
  PL_UpdateToneCurve(h.ctx8.get());
  std::vector<uint8_t> source(size_t(w) * ht), raw(source.size());
  for (size_t i = 0; i < source.size(); ++i) source[i] = uint8_t((i * 7 + i / w * 3) & 0xFF);
  const size_t outBytes = kernels::rowStride<uint8_t>(3, int32_t(w)) * ht;
  std::vector<uint8_t> out(outBytes), copyDst(outBytes), copySrc(outBytes, 1);
  const FrameConvertRequest req{raw.data(), 0, out.data(), nullptr, nullptr, 1, 0};
  double spent = 0, memcpyMedian = medianMemcpySeconds(copyDst, copySrc);
  for (auto _ : state) {
    state.PauseTiming();
    std::memcpy(raw.data(), source.data(), raw.size());  // the driver works in place
    state.ResumeTiming();
    const auto a = std::chrono::steady_clock::now();
    PL_ProcessFrame8(h, req);
    spent += std::chrono::duration<double>(std::chrono::steady_clock::now() - a).count();
    benchmark::DoNotOptimize(out.data());
  }
  memcpyMedian = std::min(memcpyMedian, medianMemcpySeconds(copyDst, copySrc));
  state.counters["x_memcpy"] = spent / double(state.iterations()) / memcpyMedian;
  PipelineWorkerEnvironment() = {};
}

constexpr int64_t kSizes[][2] = {{2048, 1536}, {4096, 3288}};
constexpr int64_t kWorkerCounts[] = {0, 1, 3};

std::string runName(const int64_t (&size)[2], int64_t workers) {
  return "BM_ProcessFrame8/w:" + std::to_string(size[0]) + "/h:" + std::to_string(size[1]) +
         "/workers:" + std::to_string(workers) + "/real_time";
}

void printRatios(const bench::MedianTimes& t) {
  std::printf("\n%-10s %10s %10s %10s %14s %14s\n", "frame", "none ms", "1 ms", "3 ms", "1 / none",
              "3 / none");
  for (const auto& size : kSizes) {
    const std::string none = runName(size, 0), one = runName(size, 1), three = runName(size, 3);
    if (t.seconds(none) <= 0) continue;
    std::printf("%4ldx%-5ld %10.2f %10.2f %10.2f %14.2f %14.2f\n", long(size[0]), long(size[1]),
                t.seconds(none) * 1e3, t.seconds(one) * 1e3, t.seconds(three) * 1e3,
                t.ratio(one, none), t.ratio(three, none));
  }
}

void registerAll() {
  auto* b = benchmark::RegisterBenchmark("BM_ProcessFrame8", BM_ProcessFrame8);
  b->ArgNames({"w", "h", "workers"})->Unit(benchmark::kMillisecond)->UseRealTime();
  for (const auto& size : kSizes)
    for (int64_t workers : kWorkerCounts) b->Args({size[0], size[1], workers});
}

}  // namespace

int main(int argc, char** argv) {
  registerAll();
  return bench::RunWithRatios(argc, argv, {printRatios});
}
