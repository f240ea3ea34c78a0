// VNG and PPG beside OpenCV's and libdc1394's nearest methods on one seeded RGGB frame, one
// thread each: VNG against their VNG, PPG against OpenCV's edge-aware and libdc1394's edge-sense.
#include "bench/bench_demosaic_methods.h"

#include <benchmark/benchmark.h>
#include <dc1394/conversions.h>

#include <cstdio>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <string>
#include <vector>

#include "base/pixel_formats.h"
#include "kernels/demosaic.h"

namespace {

constexpr int32_t kSizes[][2] = {{2048, 1536}, {4096, 3288}};
constexpr uint32_t kRggb = 1;
constexpr const char* kWho[] = {"ours", "opencv", "dc1394"};

template <typename S>
std::vector<S> seededFrame(int32_t w, int32_t h, uint32_t max) {
  std::vector<S> f(size_t(w) * h);
  uint64_t s = 0x9E3779B97F4A7C15ull;
  for (auto& v : f) {
    s ^= s >> 12, s ^= s << 25, s ^= s >> 27;
    v = S(((s * 0x2545F4914F6CDD1Dull) >> 40) % (max + 1));
  }
  return f;
}

std::string key(bool vng, bool wide, const char* who, int32_t w, int32_t h) {
  return std::string(vng ? "Vng/" : "Ppg/") + who + (wide ? "/16bit/" : "/8bit/") +
         std::to_string(w) + "x" + std::to_string(h);
}

template <typename S>
void ours(benchmark::State& state, bool vng, int32_t w, int32_t h) {
  const uint8_t bits = sizeof(S) == 1 ? 8 : 12;
  const auto raw = seededFrame<S>(w, h, (1u << bits) - 1);
  std::vector<S> out(size_t(w) * 3 * h + 8);
  const auto sites = BuildColourSites(true);
  for (auto _ : state) {
    if constexpr (sizeof(S) == 1)
      (vng ? kernels::DemosaicVng8Bgr : kernels::DemosaicPpg8Bgr)(
          kRggb, sites.site.data(), w, h, raw.data(), out.data(), bits, 3, 1);
    else
      (vng ? kernels::DemosaicVng16Bgr : kernels::DemosaicPpg16Bgr)(
          kRggb, sites.site.data(), w, h, raw.data(), out.data(), bits, 3, 1);
    benchmark::DoNotOptimize(out.data());
  }
}

// OpenCV's VNG and edge-aware conversions take 8-bit frames only.
void opencv(benchmark::State& state, bool vng, int32_t w, int32_t h) {
  auto raw = seededFrame<uint8_t>(w, h, 255);
  cv::Mat src(h, w, CV_8UC1, raw.data()), dst(h, w, CV_8UC3);
  const int code = vng ? cv::COLOR_BayerBG2BGR_VNG : cv::COLOR_BayerBG2BGR_EA;
  for (auto _ : state) {
    cv::cvtColor(src, dst, code);
    benchmark::DoNotOptimize(dst.data);
  }
}

template <typename S>
void dc1394(benchmark::State& state, bool vng, int32_t w, int32_t h) {
  auto raw = seededFrame<S>(w, h, sizeof(S) == 1 ? 255 : 4095);
  std::vector<S> out(size_t(w) * 3 * h);
  const auto method = vng ? DC1394_BAYER_METHOD_VNG : DC1394_BAYER_METHOD_EDGESENSE;
  for (auto _ : state) {
    if constexpr (sizeof(S) == 1)
      dc1394_bayer_decoding_8bit(raw.data(), out.data(), w, h, DC1394_COLOR_FILTER_RGGB, method);
    else
      dc1394_bayer_decoding_16bit(raw.data(), out.data(), w, h, DC1394_COLOR_FILTER_RGGB, method,
                                  12);
    benchmark::DoNotOptimize(out.data());
  }
}

// Registers every method, depth, size and implementation before main runs.
struct Registrar {
  Registrar() {
    for (bool vng : {true, false})
      for (bool wide : {false, true})
        for (const auto& size : kSizes) {
          const int32_t w = size[0], h = size[1];
          auto add = [&](const char* who, auto fn) {
            benchmark::RegisterBenchmark(key(vng, wide, who, w, h).c_str(), fn)
                ->Unit(benchmark::kMillisecond);
          };
          if (wide) {
            add("ours", [=](benchmark::State& s) { ours<uint16_t>(s, vng, w, h); });
            add("dc1394", [=](benchmark::State& s) { dc1394<uint16_t>(s, vng, w, h); });
          } else {
            add("ours", [=](benchmark::State& s) { ours<uint8_t>(s, vng, w, h); });
            add("opencv", [=](benchmark::State& s) { opencv(s, vng, w, h); });
            add("dc1394", [=](benchmark::State& s) { dc1394<uint8_t>(s, vng, w, h); });
          }
        }
  }
} gRegistrar;

}  // namespace

void PrintDemosaicMethods(const bench::MedianTimes& times) {
  std::printf("\n%-26s %10s %10s %10s %12s %12s\n", "method", "ours ms", "opencv ms", "dc1394 ms",
              "ours/opencv", "ours/dc1394");
  for (bool vng : {true, false})
    for (bool wide : {false, true})
      for (const auto& size : kSizes) {
        double ms[3];
        for (int i = 0; i < 3; ++i)
          ms[i] = times.seconds(key(vng, wide, kWho[i], size[0], size[1])) * 1e3;
        if (ms[0] <= 0) continue;
        const std::string label = std::string(vng ? "vng " : "ppg ") + (wide ? "16bit " : "8bit ") +
                                  std::to_string(size[0]) + "x" + std::to_string(size[1]);
        std::printf("%-26s %10.1f %10.1f %10.1f %12.2f %12.2f\n", label.c_str(), ms[0], ms[1],
                    ms[2], ms[1] > 0 ? ms[0] / ms[1] : 0.0, ms[2] > 0 ? ms[0] / ms[2] : 0.0);
      }
}
