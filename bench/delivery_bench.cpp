// Pull-side conversions on a 2048x1534 frame, each beside its memory floor (a plain loop that
// reads the source once and writes the output once) and a memcpy of the output bytes: 24 -> 32
// bits, 8-bit luma, and raw binning by 2, quoted against its floor alone (it reads the whole
// frame to write a quarter). The closing table gives the medians' ratios.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "bench/ratio_reporter.h"
#include "core/stream/delivery.h"
#include "core/stream/frame_geometry.h"
#include "core/stream/pull_api.h"

namespace {

constexpr uint32_t kW = 2048, kH = 1534;

std::vector<uint8_t> seeded(size_t bytes) {
  std::vector<uint8_t> v(bytes);
  uint32_t s = 0x9E3779B9u;
  for (auto& b : v) {
    s ^= s << 13, s ^= s >> 17, s ^= s << 5;
    b = static_cast<uint8_t>(s);
  }
  return v;
}

// Two 8-byte lanes: the widest word every x86-64 processor moves in one instruction.
using Word = uint64_t __attribute__((vector_size(16)));

// The floor of a conversion taking In source words to Out output words: every 16-byte word is
// read once and written once, with one exclusive-or per word read so none can be skipped. dst
// may be src when the output never overtakes the input.
template <size_t In, size_t Out>
void floorPass(const uint8_t* src, uint8_t* dst, size_t srcBytes) {
  constexpr size_t kBytes = sizeof(Word);
  for (size_t g = 0, groups = srcBytes / (In * kBytes); g < groups; ++g) {
    Word x{};
    for (size_t i = 0; i < In; ++i) {
      Word w;
      std::memcpy(&w, src + (g * In + i) * kBytes, kBytes);
      x ^= w;
    }
    for (size_t o = 0; o < Out; ++o) std::memcpy(dst + (g * Out + o) * kBytes, &x, kBytes);
  }
}

void setBytes(benchmark::State& state, size_t bytes) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

void copyOf(benchmark::State& state, size_t bytes) {
  const auto src = seeded(bytes);
  std::vector<uint8_t> dst(bytes);
  for (auto _ : state) {
    std::memcpy(dst.data(), src.data(), bytes);
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  setBytes(state, bytes);
}

void convert(benchmark::State& state, uint32_t bits) {
  const uint32_t srcRow = uint32_t(DibRowBytes(24, kW));
  const uint32_t row = bits == 32 ? kW * 4 : uint32_t(DibRowBytes(bits, kW));
  const auto src = seeded(size_t{srcRow} * kH);
  std::vector<uint8_t> dst(size_t{row} * kH);
  for (auto _ : state) {
    PullApi::ConvertRows(src.data(), 24, srcRow, dst.data(), bits, row, kW, kH, false);
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  setBytes(state, dst.size());
}

template <size_t In, size_t Out>
void convertFloor(benchmark::State& state, uint32_t bits) {
  const uint32_t srcRow = uint32_t(DibRowBytes(24, kW));
  const uint32_t row = bits == 32 ? kW * 4 : uint32_t(DibRowBytes(bits, kW));
  const auto src = seeded(size_t{srcRow} * kH);
  std::vector<uint8_t> dst(size_t{row} * kH);
  for (auto _ : state) {
    floorPass<In, Out>(src.data(), dst.data(), src.size());
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  setBytes(state, dst.size());
}

void BM_PullImage24To32(benchmark::State& state) {
  convert(state, 32);
}
void BM_Floor24To32(benchmark::State& state) {
  convertFloor<3, 4>(state, 32);
}
void BM_Memcpy24To32Bytes(benchmark::State& state) {
  copyOf(state, size_t{kW} * 4 * kH);
}
void BM_PullImageLuma8(benchmark::State& state) {
  convert(state, 8);
}
void BM_FloorLuma8(benchmark::State& state) {
  convertFloor<3, 1>(state, 8);
}
void BM_MemcpyLuma8Bytes(benchmark::State& state) {
  copyOf(state, size_t(DibRowBytes(8, kW)) * kH);
}

// Binning works in place, so each pass starts from a fresh copy, not timed.
template <typename Pass>
void inPlace(benchmark::State& state, Pass pass) {
  const auto frame = seeded(size_t{kW} * kH);
  std::vector<uint8_t> work(frame.size());
  for (auto _ : state) {
    state.PauseTiming();
    std::memcpy(work.data(), frame.data(), frame.size());
    state.ResumeTiming();
    pass(work.data());
    benchmark::DoNotOptimize(work.data());
    benchmark::ClobberMemory();
  }
  setBytes(state, size_t{kW / 2} * (kH / 2));
}

void BM_BinRawFrameBy2(benchmark::State& state) {
  inPlace(state, [](uint8_t* work) { Delivery::BinRawFrame(work, kW, kH, 2, true, 8); });
}
void BM_FloorBinBy2(benchmark::State& state) {
  inPlace(state, [](uint8_t* work) { floorPass<4, 1>(work, work, size_t{kW} * kH); });
}

BENCHMARK(BM_PullImage24To32);
BENCHMARK(BM_Floor24To32);
BENCHMARK(BM_Memcpy24To32Bytes);
BENCHMARK(BM_PullImageLuma8);
BENCHMARK(BM_FloorLuma8);
BENCHMARK(BM_MemcpyLuma8Bytes);
BENCHMARK(BM_BinRawFrameBy2);
BENCHMARK(BM_FloorBinBy2);

void printRatios(const bench::MedianTimes& t) {
  struct Row {
    const char *label, *ours, *floor, *copy;
  };
  static constexpr Row kRows[] = {
      {"24 -> 32", "BM_PullImage24To32", "BM_Floor24To32", "BM_Memcpy24To32Bytes"},
      {"luma 8", "BM_PullImageLuma8", "BM_FloorLuma8", "BM_MemcpyLuma8Bytes"},
      // A copy of the quarter-size output would leave out the whole frame binning reads: this row
      // is quoted against its floor only.
      {"bin by 2", "BM_BinRawFrameBy2", "BM_FloorBinBy2", nullptr},
  };
  std::printf("\n%-10s %10s %10s %12s %12s\n", "delivery", "ours us", "floor us", "ours/floor",
              "ours/memcpy");
  for (const Row& r : kRows) {
    if (t.seconds(r.ours) <= 0) continue;
    std::printf("%-10s %10.1f %10.1f %12.2f", r.label, t.seconds(r.ours) * 1e6,
                t.seconds(r.floor) * 1e6, t.ratio(r.ours, r.floor));
    if (r.copy)
      std::printf(" %12.2f\n", t.ratio(r.ours, r.copy));
    else
      std::printf(" %12s\n", "-");
  }
}

}  // namespace

int main(int argc, char** argv) {
  return bench::RunWithRatios(argc, argv, {printRatios});
}
