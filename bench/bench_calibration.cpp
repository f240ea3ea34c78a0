// Calibration runs: one frame added to the run sums beside a copy of the sum buffer in the same
// run (the ratio is the target), the hot-pixel search and a gain build per size.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/ratio_reporter.h"
#include "pipeline/algorithms/dark_field.h"
#include "pipeline/algorithms/flat_field.h"
#include "pipeline/pl_init_params.h"
#include "pipeline/pl_state.h"

namespace {

constexpr int64_t kSizes[][2] = {{2048, 1536}, {4096, 3288}};
constexpr uint32_t kLongRun = 255;  // frames wanted: the timed frames never finish the run

template <typename Sample>
auto stateOf(uint32_t w, uint32_t h) {
  PLInitParams p;
  p.frameWidth = p.procWidth = p.maxWidth = w;
  p.frameHeight = p.procHeight = p.maxHeight = h;
  p.bayer = 1;
  if constexpr (sizeof(Sample) == 2) {
    p.pixelFormat = 2;
    p.bitDepthCaps[2] = 1;
    return PLContext16Ptr(PL_Init16(&p));
  } else {
    return PLContextPtr(PL_Init(&p));
  }
}

template <typename Sample>
std::vector<Sample> frameOf(size_t n, uint32_t mask) {
  std::vector<Sample> f(n);
  uint32_t x = 12345;
  for (auto& v : f) x = x * 1664525u + 1013904223u, v = Sample((x >> 16) & mask);
  return f;
}

template <typename Sample>
void BM_AddFrame(benchmark::State& st) {
  const auto w = uint32_t(st.range(0)), h = uint32_t(st.range(1));
  auto c = stateOf<Sample>(w, h);
  const auto f = frameOf<Sample>(size_t(w) * h, sizeof(Sample) == 2 ? 0xFFF : 0xFF);
  c->dfcRequest = 1, c->dfcFrames = kLongRun;
  for (auto _ : st) {
    c->dfcCount = 0;
    AccumulateDfc(*c, f.data(), w, h, 1);
    benchmark::DoNotOptimize(c->dfcSum.data());
  }
}

void BM_SumCopy(benchmark::State& st) {
  const size_t n = size_t(st.range(0)) * size_t(st.range(1));
  std::vector<uint32_t> a(n, 1), b(n, 2);
  for (auto _ : st) {
    std::memcpy(b.data(), a.data(), n * sizeof(uint32_t));
    benchmark::DoNotOptimize(b.data());
  }
}

void BM_HotPixels(benchmark::State& st) {
  const auto w = uint32_t(st.range(0)), h = uint32_t(st.range(1));
  auto c = stateOf<uint8_t>(w, h);
  const auto dark = frameOf<uint8_t>(size_t(w) * h, 0x1F);
  c->darkTable.assign(dark.begin(), dark.end());
  for (auto _ : st) DfcFindHotPixels(*c, w, h, 1);
}

void BM_GainBuild(benchmark::State& st) {
  const auto w = uint32_t(st.range(0)), h = uint32_t(st.range(1));
  auto c = stateOf<uint8_t>(w, h);
  const auto f = frameOf<uint8_t>(size_t(w) * h, 0xFF);
  c->ffcSum.assign(f.begin(), f.end());
  for (auto _ : st) FfcBuildGainsBgr(*c, w, h, 1);
}

std::string name(const char* bm, const int64_t* size) {
  return std::string(bm) + "/w:" + std::to_string(size[0]) + "/h:" + std::to_string(size[1]) +
         "/real_time";
}

void printRatios(const bench::MedianTimes& t) {
  std::printf("\n%-10s %-8s %10s %12s\n", "frame", "samples", "ms", "x memcpy");
  for (const auto& size : kSizes)
    for (const char* bits : {"8", "16"}) {
      const std::string n = name(bits[0] == '8' ? "BM_AddFrame8" : "BM_AddFrame16", size);
      if (t.seconds(n) <= 0) continue;
      std::printf("%4ldx%-5ld %-8s %10.2f %12.2f\n", long(size[0]), long(size[1]), bits,
                  t.seconds(n) * 1e3, t.ratio(n, name("BM_SumCopy", size)));
    }
}

void registerAll() {
  const struct {
    const char* name;
    void (*fn)(benchmark::State&);
  } all[] = {{"BM_AddFrame8", BM_AddFrame<uint8_t>},
             {"BM_AddFrame16", BM_AddFrame<uint16_t>},
             {"BM_SumCopy", BM_SumCopy},
             {"BM_HotPixels", BM_HotPixels},
             {"BM_GainBuild", BM_GainBuild}};
  for (const auto& b : all) {
    auto* r = benchmark::RegisterBenchmark(b.name, b.fn);
    r->ArgNames({"w", "h"})->Unit(benchmark::kMillisecond)->UseRealTime();
    for (const auto& size : kSizes) r->Args({size[0], size[1]});
  }
}

}  // namespace

int main(int argc, char** argv) {
  registerAll();
  return bench::RunWithRatios(argc, argv, {printRatios});
}
