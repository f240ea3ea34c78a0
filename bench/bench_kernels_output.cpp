// Output, geometry and dark-subtraction kernels beside their OpenCV counterparts, one thread each,
// and the table of ours/OpenCV per pair.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <functional>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <string>
#include <vector>

#include "bench/bench_kernels_output.h"
#include "kernels/calibration.h"
#include "kernels/demosaic.h"
#include "kernels/geometry.h"
#include "kernels/output.h"
#include "pipeline/store/settings_io.h"
#include "pipeline/pl_state.h"
#include "pipeline/stages/still.h"

namespace {

constexpr int32_t kSizes[][2] = {{2048, 1536}, {4096, 3288}};

template <typename S>
std::vector<S> seeded(size_t n, uint32_t max, uint64_t s) {
  std::vector<S> f(n);
  for (auto& v : f) {
    s ^= s >> 12, s ^= s << 25, s ^= s >> 27;
    v = S(((s * 0x2545F4914F6CDD1Dull) >> 40) % (max + 1));
  }
  return f;
}

void run(benchmark::State& state, int32_t w, int32_t h, const std::function<void()>& body) {
  for (auto _ : state) body();
  state.counters["MP/s"] =
      benchmark::Counter(double(w) * h / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

struct Pair {
  std::string label;
  std::function<void(benchmark::State&, int32_t, int32_t, bool)> bench;  // bool: OpenCV side
};

std::string key(const std::string& label, bool cv, int32_t w, int32_t h) {
  return "Output/" + label + (cv ? "/opencv/" : "/ours/") + std::to_string(w) + "x" +
         std::to_string(h);
}

void darkPair(benchmark::State& st, int32_t w, int32_t h, bool cv, bool wide) {
  const size_t n = size_t(w) * h;
  auto f8 = seeded<uint8_t>(n, 255, 1), d8 = seeded<uint8_t>(n, 40, 2);
  auto f16 = seeded<uint16_t>(n, 4095, 3), d16 = seeded<uint16_t>(n, 300, 4);
  cv::Mat a = wide ? cv::Mat(h, w, CV_16U, f16.data()) : cv::Mat(h, w, CV_8U, f8.data());
  cv::Mat b = wide ? cv::Mat(h, w, CV_16U, d16.data()) : cv::Mat(h, w, CV_8U, d8.data());
  run(st, w, h, [&] {
    if (cv)
      cv::subtract(a, b, a);
    else if (wide)
      kernels::SubtractDark16(w, h, f16.data(), d16.data());
    else
      kernels::SubtractDark8(w, h, f8.data(), d8.data());
    benchmark::ClobberMemory();
  });
}

void convertPair(benchmark::State& st, int32_t w, int32_t h, bool cv) {
  auto src = seeded<uint16_t>(size_t(w) * 3 * h, 4095, 5);
  std::vector<uint8_t> dst(size_t(w) * 3 * h);
  cv::Mat s(h, w, CV_16UC3, src.data()), d(h, w, CV_8UC3, dst.data());
  run(st, w, h, [&] {
    if (cv)
      s.convertTo(d, CV_8U, 1.0 / 16);
    else
      kernels::Convert16To8(src.data(), dst.data(), w, h, 3, 12);
    benchmark::DoNotOptimize(dst.data());
  });
}

// op: 0 mirror, 1 flip, 2 half turn, 3 quarter ccw, 4 quarter cw.
void geometryPair(benchmark::State& st, int32_t w, int32_t h, bool cv, int op) {
  const size_t n = kernels::turnedFrameBytes<uint8_t>(w, h, 3);
  auto img = seeded<uint8_t>(n, 255, 6);
  std::vector<uint8_t> scratch(n), other(n);
  // OpenCV's output is made and written before timing, as ours is.
  const bool quarter = op >= 3;
  cv::Mat src(h, w, CV_8UC3, img.data());
  cv::Mat dst(quarter ? w : h, quarter ? h : w, CV_8UC3, cv::Scalar::all(0));
  run(st, w, h, [&] {
    if (cv) {
      if (op <= 1)
        cv::flip(src, src, op == 0 ? 1 : 0);
      else
        cv::rotate(src, dst,
                   op == 2   ? cv::ROTATE_180
                   : op == 3 ? cv::ROTATE_90_COUNTERCLOCKWISE
                             : cv::ROTATE_90_CLOCKWISE);
    } else if (op <= 1) {
      kernels::FlipImage8(op == 0 ? 1 : 2, w, h, img.data(), 3);
    } else if (op == 2) {
      kernels::Rotate180_8(w, h, img.data(), 3);
    } else {
      // Turn and turn back alternately so every iteration starts from a w x h frame.
      static bool back = false;
      const bool ccw = (op == 3) != back;
      kernels::RotateScratch s{scratch.data(), scratch.size()};
      if (back)
        (ccw ? kernels::RotateCcw8 : kernels::RotateCw8)(img.data(), n, s, h, w, 3);
      else
        (ccw ? kernels::RotateCcw8 : kernels::RotateCw8)(img.data(), n, s, w, h, 3);
      back = !back;
    }
    benchmark::ClobberMemory();
  });
}

void yuvPair(benchmark::State& st, int32_t w, int32_t h, bool cv) {
  auto packed = seeded<uint8_t>(size_t(w) * h * 2, 255, 7);
  std::vector<uint8_t> out(size_t(w) * 3 * h);
  const kernels::Layout layout{3, 8, 0, 1};
  kernels::BuildYuvTables();
  cv::Mat s(h, w, CV_8UC2, packed.data()), d(h, w, CV_8UC3, out.data());
  run(st, w, h, [&] {
    if (cv)
      cv::cvtColor(s, d, cv::COLOR_YUV2BGR_UYVY);
    else
      kernels::Yuv422ToRgb8Alt(layout, packed.data(), out.data(), w, h);
    benchmark::DoNotOptimize(out.data());
  });
}

void stillPair(benchmark::State& st, int32_t w, int32_t h, bool cv) {
  PLInitParams p;
  p.frameWidth = p.procWidth = p.maxWidth = uint32_t(w);
  p.frameHeight = p.procHeight = p.maxHeight = uint32_t(h);
  p.bayer = 1, p.byteOrder = 1, p.rowOrder = 1, p.isColour = 1,
  p.wbTempTint = 0;  // RGB gains 128: no WB step
  PLSettings s{};
  PLContext probe;
  probe.isColour = 1;
  PL_SetDefaults(&probe, &s);
  s.mirror = 1, s.processFlags |= PLProcessFlags::kRotate90;
  p.settings = &s;
  PLContextPtr ctx(PL_Init(&p));
  const auto raw = seeded<uint8_t>(size_t(w) * h, 255, 8);
  auto work = raw;
  const size_t n = kernels::turnedFrameBytes<uint8_t>(w, h, 3);
  std::vector<uint8_t> out(n);
  cv::Mat src(h, w, CV_8U, work.data());
  cv::Mat bgr(h, w, CV_8UC3, cv::Scalar::all(0)), turned(w, h, CV_8UC3, cv::Scalar::all(0));
  run(st, w, h, [&] {
    if (cv) {
      cv::cvtColor(src, bgr, cv::COLOR_BayerBG2BGR);
      cv::flip(bgr, bgr, 1);
      cv::rotate(bgr, turned, cv::ROTATE_90_COUNTERCLOCKWISE);
    } else {
      stages::PL_ProcessStill8(ctx.get(), work.data(), out.data(), n, 24, w, h, w, h);
    }
    benchmark::DoNotOptimize(out.data());
  });
}

std::vector<Pair> pairs() {
  return {
      {"SubtractDark8",
       [](benchmark::State& s, int32_t w, int32_t h, bool cv) { darkPair(s, w, h, cv, false); }},
      {"SubtractDark16",
       [](benchmark::State& s, int32_t w, int32_t h, bool cv) { darkPair(s, w, h, cv, true); }},
      {"Convert16To8",
       [](benchmark::State& s, int32_t w, int32_t h, bool cv) { convertPair(s, w, h, cv); }},
      {"Mirror",
       [](benchmark::State& s, int32_t w, int32_t h, bool cv) { geometryPair(s, w, h, cv, 0); }},
      {"Flip",
       [](benchmark::State& s, int32_t w, int32_t h, bool cv) { geometryPair(s, w, h, cv, 1); }},
      {"Rotate180",
       [](benchmark::State& s, int32_t w, int32_t h, bool cv) { geometryPair(s, w, h, cv, 2); }},
      {"RotateCcw",
       [](benchmark::State& s, int32_t w, int32_t h, bool cv) { geometryPair(s, w, h, cv, 3); }},
      {"RotateCw",
       [](benchmark::State& s, int32_t w, int32_t h, bool cv) { geometryPair(s, w, h, cv, 4); }},
      {"Yuv422Alt",
       [](benchmark::State& s, int32_t w, int32_t h, bool cv) { yuvPair(s, w, h, cv); }},
      {"Still", [](benchmark::State& s, int32_t w, int32_t h, bool cv) { stillPair(s, w, h, cv); }},
  };
}

// Registers every pair before main runs.
struct Registrar {
  Registrar() {
    for (const Pair& p : pairs())
      for (const auto& size : kSizes)
        for (bool cv : {true, false}) {
          const int32_t w = size[0], h = size[1];
          auto fn = p.bench;
          benchmark::RegisterBenchmark(key(p.label, cv, w, h).c_str(), [=](benchmark::State& s) {
            fn(s, w, h, cv);
          })->Unit(benchmark::kMillisecond);
        }
  }
} gRegistrar;

}  // namespace

void PrintOutputPairs(const bench::MedianTimes& times) {
  std::printf("\n%-16s %-10s %12s %12s %12s\n", "pair", "size", "ours ms", "opencv ms",
              "ours/opencv");
  for (const Pair& p : pairs())
    for (const auto& size : kSizes) {
      const double o = times.seconds(key(p.label, false, size[0], size[1]));
      const double c = times.seconds(key(p.label, true, size[0], size[1]));
      if (o <= 0 || c <= 0) continue;
      std::printf("%-16s %4dx%-5d %12.3f %12.3f %12.2f\n", p.label.c_str(), size[0], size[1],
                  o * 1e3, c * 1e3, o / c);
    }
}
