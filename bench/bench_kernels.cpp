// Bilinear demosaic beside OpenCV and libdc1394 on the same seeded RGGB frame, one thread each,
// and beside its memory floor (a grey frame expanded to three channels); the output, geometry and
// sharpening pairs in the same run.
#include <benchmark/benchmark.h>
#include <dc1394/conversions.h>

#include <cstdio>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <string>
#include <vector>

#include "bench/bench_kernels_output.h"
#include "bench/bench_sharpen.h"
#include "bench/ratio_reporter.h"
#include "kernels/demosaic.h"
#include "kernels/dispatch.h"
#include "base/pixel_formats.h"

namespace {

constexpr int32_t kSizes[][2] = {{2048, 1536}, {4096, 3288}};
constexpr uint32_t kRggb = 1;

template <typename S>
std::vector<S> seededFrame(int32_t w, int32_t h, uint32_t max) {
  std::vector<S> f(size_t(w) * h);
  uint64_t s = 0x2545F4914F6CDD1Dull;
  for (auto& v : f) {
    s ^= s >> 12, s ^= s << 25, s ^= s >> 27;
    v = S(((s * 0x2545F4914F6CDD1Dull) >> 40) % (max + 1));
  }
  return f;
}

// A peer's output made and written before timing, as ours is, so no run pays its page faults.
template <typename S>
cv::Mat touchedOutput(int32_t w, int32_t h) {
  return cv::Mat(h, w, sizeof(S) == 1 ? CV_8UC3 : CV_16UC3, cv::Scalar::all(0));
}

void setCounters(benchmark::State& state, int32_t w, int32_t h) {
  state.counters["MP/s"] =
      benchmark::Counter(double(w) * h / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

template <typename S>
void ours(benchmark::State& state, int32_t w, int32_t h, bool scalar) {
  const uint8_t bits = sizeof(S) == 1 ? 8 : 12;
  const auto raw = seededFrame<S>(w, h, (1u << bits) - 1);
  std::vector<S> out(size_t(w) * 3 * h + 8);
  const auto sites = BuildColourSites(true);
  kernels::ForceIsa(scalar ? kernels::Isa::Scalar : kernels::Isa::Avx2);
  for (auto _ : state) {
    if constexpr (sizeof(S) == 1)
      kernels::DemosaicBilinear8Bgr(kRggb, sites.site.data(), w, h, raw.data(), out.data(), bits, 3,
                                    1);
    else
      kernels::DemosaicBilinear16Bgr(kRggb, sites.site.data(), w, h, raw.data(), out.data(), bits,
                                     3, 1);
    benchmark::DoNotOptimize(out.data());
  }
  kernels::ForceIsa(kernels::Isa::Avx2);
  setCounters(state, w, h);
}

template <typename S>
void opencv(benchmark::State& state, int32_t w, int32_t h) {
  const int type = sizeof(S) == 1 ? CV_8UC1 : CV_16UC1;
  auto raw = seededFrame<S>(w, h, sizeof(S) == 1 ? 255 : 4095);
  cv::Mat src(h, w, type, raw.data());
  cv::Mat dst = touchedOutput<S>(w, h);
  for (auto _ : state) {
    cv::cvtColor(src, dst, cv::COLOR_BayerBG2BGR);
    benchmark::DoNotOptimize(dst.data);
  }
  setCounters(state, w, h);
}

// The memory floor of a demosaic: one read of the raw frame, three writes per sample, as OpenCV's
// grey expansion does it on one thread.
template <typename S>
void expandFloor(benchmark::State& state, int32_t w, int32_t h) {
  auto raw = seededFrame<S>(w, h, sizeof(S) == 1 ? 255 : 4095);
  cv::Mat src(h, w, sizeof(S) == 1 ? CV_8UC1 : CV_16UC1, raw.data());
  cv::Mat dst = touchedOutput<S>(w, h);
  for (auto _ : state) {
    cv::cvtColor(src, dst, cv::COLOR_GRAY2BGR);
    benchmark::DoNotOptimize(dst.data);
  }
  setCounters(state, w, h);
}

template <typename S>
void dc1394(benchmark::State& state, int32_t w, int32_t h) {
  auto raw = seededFrame<S>(w, h, sizeof(S) == 1 ? 255 : 4095);
  std::vector<S> out(size_t(w) * 3 * h);
  for (auto _ : state) {
    if constexpr (sizeof(S) == 1)
      dc1394_bayer_decoding_8bit(raw.data(), out.data(), w, h, DC1394_COLOR_FILTER_RGGB,
                                 DC1394_BAYER_METHOD_BILINEAR);
    else
      dc1394_bayer_decoding_16bit(raw.data(), out.data(), w, h, DC1394_COLOR_FILTER_RGGB,
                                  DC1394_BAYER_METHOD_BILINEAR, 12);
    benchmark::DoNotOptimize(out.data());
  }
  setCounters(state, w, h);
}

template <typename S>
void registerDepth(const char* depth) {
  for (const auto& size : kSizes) {
    const int32_t w = size[0], h = size[1];
    const std::string tail =
        std::string("/") + depth + "/" + std::to_string(w) + "x" + std::to_string(h);
    benchmark::RegisterBenchmark(("Bilinear/ours" + tail).c_str(),
                                 [=](benchmark::State& s) { ours<S>(s, w, h, false); });
    benchmark::RegisterBenchmark(("Bilinear/ours_scalar" + tail).c_str(),
                                 [=](benchmark::State& s) { ours<S>(s, w, h, true); });
    benchmark::RegisterBenchmark(("Bilinear/opencv" + tail).c_str(),
                                 [=](benchmark::State& s) { opencv<S>(s, w, h); });
    benchmark::RegisterBenchmark(("Bilinear/dc1394" + tail).c_str(),
                                 [=](benchmark::State& s) { dc1394<S>(s, w, h); });
    benchmark::RegisterBenchmark(("Bilinear/expand_floor" + tail).c_str(),
                                 [=](benchmark::State& s) { expandFloor<S>(s, w, h); });
  }
}

// One line per size and depth: throughput and time ratios from the run's medians.
void printBilinear(const bench::MedianTimes& times) {
  std::printf("\n%-18s %10s %10s %10s %10s %10s %12s %12s %12s\n", "bilinear", "ours MP/s",
              "scalar", "opencv", "dc1394", "floor", "ours/opencv", "ours/dc1394", "ours/floor");
  for (const char* depth : {"8bit", "16bit"})
    for (const auto& size : kSizes) {
      const std::string tail =
          std::string("/") + depth + "/" + std::to_string(size[0]) + "x" + std::to_string(size[1]);
      const double mp = double(size[0]) * size[1] / 1e6;
      auto t = [&](const char* who) {
        return times.seconds(std::string("Bilinear/") + who + tail);
      };
      const double o = t("ours"), s = t("ours_scalar"), cv = t("opencv"), dc = t("dc1394"),
                   fl = t("expand_floor");
      if (o <= 0) continue;
      auto rate = [&](double v) { return v > 0 ? mp / v : 0.0; };
      auto over = [&](double v) { return v > 0 ? o / v : 0.0; };
      std::printf("%-18s %10.0f %10.0f %10.0f %10.0f %10.0f %12.2f %12.2f %12.2f\n",
                  tail.substr(1).c_str(), rate(o), rate(s), rate(cv), rate(dc), rate(fl), over(cv),
                  over(dc), over(fl));
    }
}

}  // namespace

int main(int argc, char** argv) {
  cv::setNumThreads(1);
  benchmark::AddCustomContext("opencv_threads", std::to_string(cv::getNumThreads()));
  benchmark::AddCustomContext("ours_isa",
                              kernels::DetectedIsa() == kernels::Isa::Avx2 ? "avx2" : "sse2");
  registerDepth<uint8_t>("8bit");
  registerDepth<uint16_t>("16bit");
  RegisterSharpenBenchmarks();
  return bench::RunWithRatios(argc, argv, {printBilinear, PrintOutputPairs, PrintSharpenPairs});
}
