// Pull-side conversions on a 2048x1534 frame, each beside a memcpy of the same output bytes:
// 24 -> 32 bits, 8-bit luma, and raw binning by 2.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

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

void BM_PullImage24To32(benchmark::State& state) {
  convert(state, 32);
}
void BM_Memcpy24To32Bytes(benchmark::State& state) {
  copyOf(state, size_t{kW} * 4 * kH);
}
void BM_PullImageLuma8(benchmark::State& state) {
  convert(state, 8);
}
void BM_MemcpyLuma8Bytes(benchmark::State& state) {
  copyOf(state, size_t(DibRowBytes(8, kW)) * kH);
}

void BM_BinRawFrameBy2(benchmark::State& state) {
  const auto frame = seeded(size_t{kW} * kH);
  std::vector<uint8_t> work(frame.size());
  for (auto _ : state) {
    state.PauseTiming();
    std::memcpy(work.data(), frame.data(), frame.size());  // binning works in place
    state.ResumeTiming();
    Delivery::BinRawFrame(work.data(), kW, kH, 2, true, 8);
    benchmark::DoNotOptimize(work.data());
    benchmark::ClobberMemory();
  }
  setBytes(state, size_t{kW / 2} * (kH / 2));
}
void BM_MemcpyBinBy2Bytes(benchmark::State& state) {
  copyOf(state, size_t{kW / 2} * (kH / 2));
}

BENCHMARK(BM_PullImage24To32);
BENCHMARK(BM_Memcpy24To32Bytes);
BENCHMARK(BM_PullImageLuma8);
BENCHMARK(BM_MemcpyLuma8Bytes);
BENCHMARK(BM_BinRawFrameBy2);
BENCHMARK(BM_MemcpyBinBy2Bytes);

}  // namespace
