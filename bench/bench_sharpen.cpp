// Unsharp mask on RGB frames (amount 150, threshold 4): ours against OpenCV's Gaussian blur plus
// the unsharp arithmetic (difference, mask |d| > threshold, scaled add, copy under the mask).
#include "bench/bench_sharpen.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <string>
#include <vector>

#include "kernels/kernel_base.h"
#include "kernels/sharpen.h"

namespace {

constexpr int32_t kSizes[][2] = {{2048, 1536}, {4096, 3288}};
constexpr int32_t kAmount = 150, kThreshold = 4;
constexpr int32_t kRadii[] = {2, 10};

std::string name(const char* who, const char* depth, int32_t radius, int32_t w, int32_t h) {
  return std::string("Sharpen/") + who + "/" + depth + "/r" + std::to_string(radius) + "/" +
         std::to_string(w) + "x" + std::to_string(h);
}

// A seeded RGB frame of tight rows (widths here keep rows whole words).
template <typename S>
std::vector<S> seededImage(int32_t w, int32_t h, uint32_t max) {
  std::vector<S> f(kernels::rowStride<S>(3, w) * h);
  uint64_t s = 0x9E3779B97F4A7C15ull;
  for (size_t i = 0; i < f.size(); ++i) {
    s ^= s >> 12, s ^= s << 25, s ^= s >> 27;
    // Smooth ramps with noise: edges and flat areas both.
    f[i] = S((((i / 3) % 977) * max / 977 + ((s * 0x2545F4914F6CDD1Dull) >> 58)) % (max + 1));
  }
  return f;
}

template <typename S>
void ours(benchmark::State& state, int32_t w, int32_t h, int32_t radius) {
  const uint8_t bits = sizeof(S) == 1 ? 8 : 12;
  const auto source = seededImage<S>(w, h, (1u << bits) - 1);
  std::vector<S> frame = source;
  kernels::SharpenScratch<S> scratch;
  if (!scratch.reserve(frame.size())) {
    state.SkipWithError("no memory for the scratch");
    return;
  }
  for (auto _ : state) {
    state.PauseTiming();
    std::memcpy(frame.data(), source.data(), frame.size() * sizeof(S));
    state.ResumeTiming();
    if constexpr (sizeof(S) == 1)
      kernels::Sharpen(scratch, frame.data(), w, h, 3, bits, kAmount, radius, kThreshold);
    else
      kernels::Sharpen16(scratch, frame.data(), w, h, 3, bits, kAmount, radius, kThreshold);
    benchmark::DoNotOptimize(frame.data());
  }
}

template <typename S>
void opencv(benchmark::State& state, int32_t w, int32_t h, int32_t radius) {
  const uint8_t bits = sizeof(S) == 1 ? 8 : 12;
  auto source = seededImage<S>(w, h, (1u << bits) - 1);
  const int type = sizeof(S) == 1 ? CV_8UC3 : CV_16UC3;
  const int wide = sizeof(S) == 1 ? CV_16S : CV_32S;
  const cv::Mat src(h, w, type, source.data());
  cv::Mat blurred, diff, magnitude, mask, sharp, result;
  const int n = 2 * radius + 1;
  for (auto _ : state) {
    cv::GaussianBlur(src, blurred, cv::Size(n, n), 0);
    cv::subtract(src, blurred, diff, cv::noArray(), wide);
    magnitude = cv::abs(diff);
    cv::compare(magnitude, cv::Scalar::all(kThreshold), mask, cv::CMP_GT);
    cv::addWeighted(src, 1.0, diff, kAmount / 100.0, 0, sharp, src.depth());
    src.copyTo(result);
    sharp.copyTo(result, mask);
    benchmark::DoNotOptimize(result.data);
  }
}

}  // namespace

void RegisterSharpenBenchmarks() {
  for (const auto& size : kSizes)
    for (int32_t r : kRadii) {
      const int32_t w = size[0], h = size[1];
      auto add = [&](const std::string& n, auto fn) {
        benchmark::RegisterBenchmark(n.c_str(), fn)->Unit(benchmark::kMillisecond);
      };
      add(name("ours", "8bit", r, w, h), [=](benchmark::State& s) { ours<uint8_t>(s, w, h, r); });
      add(name("opencv", "8bit", r, w, h),
          [=](benchmark::State& s) { opencv<uint8_t>(s, w, h, r); });
      add(name("ours", "16bit", r, w, h), [=](benchmark::State& s) { ours<uint16_t>(s, w, h, r); });
      add(name("opencv", "16bit", r, w, h),
          [=](benchmark::State& s) { opencv<uint16_t>(s, w, h, r); });
    }
}

void PrintSharpenPairs(const bench::MedianTimes& times) {
  std::printf("\n%-30s %9s %9s %11s  (targets 8-bit: r2 <= 1.0, r10 <= 4.0)\n", "sharpen",
              "ours ms", "opencv ms", "ours/opencv");
  for (const char* depth : {"8bit", "16bit"})
    for (int32_t r : kRadii)
      for (const auto& size : kSizes) {
        const std::string o = name("ours", depth, r, size[0], size[1]);
        const std::string c = name("opencv", depth, r, size[0], size[1]);
        const double ms = times.seconds(o) * 1e3, peer = times.seconds(c) * 1e3;
        if (ms <= 0 && peer <= 0) continue;
        std::printf("%-30s %9.1f %9.1f %11.3f\n", o.substr(13).c_str(), ms, peer,
                    times.ratio(o, c));
      }
}
