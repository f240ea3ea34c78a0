// The whole raw-to-RGB24 path (PL_ProcessFrame8) at two sizes with 0, 1 and 3 stripe workers,
// reported against a plain memcpy of one output frame measured in the same run; the closing
// table gives each worker count's median time against none. The same path at the camera's
// defaults with statistics on runs bilinear, VNG and PPG at 0 and 3 workers. The grey and packed
// 4:2:2 paths run at the same sizes, each against its own output frame's memcpy.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "base/lumorix_flags.h"
#include "bench/ratio_reporter.h"
#include "kernels/kernel_base.h"
#include "pipeline/pl_frame_hooks.h"
#include "pipeline/pl_helper_base.h"
#include "pipeline/pl_init_params.h"
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

// What a colour row changes from the state's defaults: the video demosaic method and whether
// statistics run on every frame (as with the histogram page open).
struct ColourRun {
  uint32_t method = 0;  // 0 bilinear, 1 VNG, 2 PPG
  bool statistics = false;
};

// The histogram page's request with the full-histogram option on: statistics on every frame.
constexpr uint32_t kStatisticsEveryFrame = 3;

void noStatistics(const float*, const float*, const float*, const float*, void*) {}

// Times PL_ProcessFrame8 at w x ht with the tone table on, reporting x_memcpy.
void timeColourFrames(benchmark::State& state, uint32_t w, uint32_t ht, uint32_t workers,
                      const ColourRun& run) {
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
  {
    std::lock_guard<platform::RecursiveLock> hold(*h.ctx8->mtxSettings);
    h.ctx8->settings.stepBits |= 4;  // the raw table
    h.ctx8->settings.processFlags |= PLProcessFlags::kToneMap2;
    h.ctx8->demosaicVideo = run.method;
  }
  PL_UpdateToneCurve(h.ctx8.get());
  if (run.statistics) {
    h.statsCallback = noStatistics;
    h.statsRequest = kStatisticsEveryFrame;
    PL_SetStatsCallback(h);
  }
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

// Bilinear with statistics off.
void BM_ProcessFrame8(benchmark::State& state) {
  timeColourFrames(state, uint32_t(state.range(0)), uint32_t(state.range(1)),
                   uint32_t(state.range(2)), ColourRun{});
}

// The camera's defaults with statistics on every frame, by demosaic method.
void BM_CameraDefaults(benchmark::State& state) {
  timeColourFrames(state, uint32_t(state.range(0)), uint32_t(state.range(1)),
                   uint32_t(state.range(2)), ColourRun{uint32_t(state.range(3)), true});
}

// The frame paths without stripe workers: a grey camera to RGB24 and to grey 8-bit, a 12-bit
// grey camera to grey 16-bit, and a packed 4:2:2 camera (conversion included) to RGB24.
enum GreyKind : int64_t { kGreyRgb, kGreyGrey, kGrey12, kPacked, kKindCount };

struct GreySetup {
  uint64_t flags;
  uint8_t pixelFormat;
  uint32_t outputFormat;
  size_t rawBytesPerPixel;
  uint8_t p, outBytesPerSample;
};

constexpr GreySetup kGreySetups[kKindCount] = {
    {LUMORIX_FLAG_RAW8 | LUMORIX_FLAG_MONO, 0, kOutputRgb8, 1, 3, 1},
    {LUMORIX_FLAG_RAW8 | LUMORIX_FLAG_MONO, 0, kOutputGrey8, 1, 1, 1},
    {LUMORIX_FLAG_RAW8 | LUMORIX_FLAG_RAW12 | LUMORIX_FLAG_MONO, 2, kOutputGrey16, 2, 1, 2},
    {LUMORIX_FLAG_RAW8, kPixelYuv422, kOutputRgb8, 2, 3, 1},
};

void BM_GreyAndPacked(benchmark::State& state) {
  const auto w = uint32_t(state.range(0)), ht = uint32_t(state.range(1));
  const GreySetup& k = kGreySetups[state.range(2)];
  PipelineWorkerEnvironment() = {2u, 0};
  PLHlperArgs args;
  args.maxWidth = args.frameWidth = w;
  args.maxHeight = args.frameHeight = ht;
  args.modelFlags = k.flags;
  BenchHelper h(args);
  configure(h);
  h.rawLut8 = nullptr;
  h.pixelFormat = k.pixelFormat;
  h.outputFormat = k.outputFormat;
  InitPipeLineStep1(h, 0, w, ht, nullptr, 0, 0);
  const bool high = state.range(2) == kGrey12;
  if (!(high ? bool(h.ctx16) : bool(h.ctx8))) {
    state.SkipWithError("no pipeline state");
    return;
  }
  std::vector<uint8_t> source(size_t(w) * ht * k.rawBytesPerPixel), raw(source.size());
  for (size_t i = 0; i < source.size(); ++i)
    source[i] = uint8_t(high && i % 2 ? (i / w) & 0x0F : (i * 7 + i / w * 3) & 0xFF);
  const size_t outBytes = kernels::rowStride<uint8_t>(k.p * k.outBytesPerSample, int32_t(w)) * ht;
  std::vector<uint8_t> out(outBytes), copyDst(outBytes), copySrc(outBytes, 1);
  const FrameConvertRequest req{raw.data(), k.pixelFormat, out.data(), nullptr, nullptr, 1, 0};
  PLFrameHooks hooks(h);
  double spent = 0, memcpyMedian = medianMemcpySeconds(copyDst, copySrc);
  for (auto _ : state) {
    state.PauseTiming();
    std::memcpy(raw.data(), source.data(), raw.size());  // the drivers work in place
    state.ResumeTiming();
    const auto a = std::chrono::steady_clock::now();
    if (high)
      hooks.PL_ProcessMono16(req);
    else
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

// A memcpy of one output frame of 1, 2 or 3 bytes a pixel: the reference of the ratios.
void BM_OutputCopy(benchmark::State& state) {
  const auto w = uint32_t(state.range(0)), ht = uint32_t(state.range(1));
  const size_t bytes = kernels::rowStride<uint8_t>(uint8_t(state.range(2)), int32_t(w)) * ht;
  std::vector<uint8_t> dst(bytes), src(bytes, 1);
  for (auto _ : state) {
    std::memcpy(dst.data(), src.data(), bytes);
    benchmark::ClobberMemory();
  }
}

constexpr int64_t kDefaultsWorkerCounts[] = {0, 3};
constexpr const char* kMethodNames[] = {"bilinear", "VNG", "PPG"};

std::string defaultsName(const int64_t (&size)[2], int64_t workers, int64_t method) {
  return "BM_CameraDefaults/w:" + std::to_string(size[0]) + "/h:" + std::to_string(size[1]) +
         "/workers:" + std::to_string(workers) + "/method:" + std::to_string(method) + "/real_time";
}
std::string rgbCopyName(const int64_t (&size)[2]) {
  return "BM_OutputCopy/w:" + std::to_string(size[0]) + "/h:" + std::to_string(size[1]) +
         "/bytes:3/real_time";
}

// At the camera's defaults with statistics on: each method's time per frame against a memcpy of
// the RGB24 output, against bilinear at the same worker count, and 3 workers against none.
void printDefaultsRatios(const bench::MedianTimes& t) {
  std::printf("\n%-10s %-9s %9s %9s %10s %10s %12s %12s %9s\n", "defaults", "method", "0 ms",
              "3 ms", "0 x memcpy", "3 x memcpy", "0 / bilinear", "3 / bilinear", "3 / 0");
  for (const auto& size : kSizes)
    for (int64_t method = 0; method < 3; ++method) {
      const std::string none = defaultsName(size, 0, method), three = defaultsName(size, 3, method);
      if (t.seconds(none) <= 0) continue;
      const std::string copy = rgbCopyName(size);
      std::printf("%4ldx%-5ld %-9s %9.2f %9.2f %10.2f %10.2f %12.2f %12.2f %9.2f\n", long(size[0]),
                  long(size[1]), kMethodNames[method], t.seconds(none) * 1e3,
                  t.seconds(three) * 1e3, t.ratio(none, copy), t.ratio(three, copy),
                  t.ratio(none, defaultsName(size, 0, 0)), t.ratio(three, defaultsName(size, 3, 0)),
                  t.ratio(three, none));
    }
}

constexpr const char* kKindNames[kKindCount] = {"grey 8 -> RGB24", "grey 8 -> grey 8",
                                                "grey 12 -> grey 16", "4:2:2 -> RGB24"};

std::string greyName(const int64_t (&size)[2], int64_t kind) {
  return "BM_GreyAndPacked/w:" + std::to_string(size[0]) + "/h:" + std::to_string(size[1]) +
         "/kind:" + std::to_string(kind) + "/real_time";
}
std::string copyName(const int64_t (&size)[2], int64_t kind) {
  const GreySetup& k = kGreySetups[kind];
  return "BM_OutputCopy/w:" + std::to_string(size[0]) + "/h:" + std::to_string(size[1]) +
         "/bytes:" + std::to_string(k.p * k.outBytesPerSample) + "/real_time";
}

// Each grey or packed path's time per frame against a memcpy of its own output frame.
void printGreyRatios(const bench::MedianTimes& t) {
  std::printf("\n%-10s %-20s %10s %12s\n", "frame", "path", "ms", "x memcpy");
  for (const auto& size : kSizes)
    for (int64_t kind = 0; kind < kKindCount; ++kind) {
      const std::string name = greyName(size, kind);
      if (t.seconds(name) <= 0) continue;
      std::printf("%4ldx%-5ld %-20s %10.2f %12.2f\n", long(size[0]), long(size[1]),
                  kKindNames[kind], t.seconds(name) * 1e3, t.ratio(name, copyName(size, kind)));
    }
}

void registerAll() {
  auto* b = benchmark::RegisterBenchmark("BM_ProcessFrame8", BM_ProcessFrame8);
  b->ArgNames({"w", "h", "workers"})->Unit(benchmark::kMillisecond)->UseRealTime();
  for (const auto& size : kSizes)
    for (int64_t workers : kWorkerCounts) b->Args({size[0], size[1], workers});
  auto* d = benchmark::RegisterBenchmark("BM_CameraDefaults", BM_CameraDefaults);
  d->ArgNames({"w", "h", "workers", "method"})->Unit(benchmark::kMillisecond)->UseRealTime();
  for (const auto& size : kSizes)
    for (int64_t workers : kDefaultsWorkerCounts)
      for (int64_t method = 0; method < 3; ++method) d->Args({size[0], size[1], workers, method});
  auto* g = benchmark::RegisterBenchmark("BM_GreyAndPacked", BM_GreyAndPacked);
  g->ArgNames({"w", "h", "kind"})->Unit(benchmark::kMillisecond)->UseRealTime();
  for (const auto& size : kSizes)
    for (int64_t kind = 0; kind < kKindCount; ++kind) g->Args({size[0], size[1], kind});
  auto* c = benchmark::RegisterBenchmark("BM_OutputCopy", BM_OutputCopy);
  c->ArgNames({"w", "h", "bytes"})->Unit(benchmark::kMillisecond)->UseRealTime();
  for (const auto& size : kSizes)
    for (int64_t bytes : {1, 2, 3}) c->Args({size[0], size[1], bytes});
}

}  // namespace

int main(int argc, char** argv) {
  registerAll();
  return bench::RunWithRatios(argc, argv, {printRatios, printDefaultsRatios, printGreyRatios});
}
