// VNG, PPG and AHD beside OpenCV's and libdc1394's VNG, LibRaw's PPG and AHD and libdc1394's AHD
// on the test scene mosaicked RGGB, one thread each, with every output's CPSNR against the scene
// from the same run.
#include <benchmark/benchmark.h>
#include <dc1394/conversions.h>
#include <libraw/libraw.h>
#include <omp.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <string>
#include <vector>

#include "base/pixel_formats.h"
#include "bench/ratio_reporter.h"
#include "kernels/demosaic.h"
#include "kernels/demosaic_ahd.h"
#include "kernels/dispatch.h"
#include "kernels/reference/test_scene.h"

namespace {

using kernels::reference::Scene;

constexpr int32_t kSizes[][2] = {{2048, 1536}, {4096, 3288}};
constexpr uint32_t kRggb = 1;
constexpr int32_t kMargin = 8, kPeerShift = 2;

std::string key(const char* method, const char* who, uint8_t bits, int32_t w, int32_t h) {
  return std::string(method) + "/" + who + "/" + std::to_string(bits) + "bit/" + std::to_string(w) +
         "x" + std::to_string(h);
}

// Scenes are drawn once per size and depth; CPSNR is filed under the benchmark's name.
const Scene& scene(int32_t w, int32_t h, uint8_t bits) {
  static std::map<std::string, std::unique_ptr<Scene>> scenes;
  auto& s = scenes[key("", "", bits, w, h)];
  if (!s) s = std::make_unique<Scene>(kernels::reference::MakeScene(w, h, bits));
  return *s;
}
std::map<std::string, double>& quality() {
  static std::map<std::string, double> q;
  return q;
}

// A peer's best score over whole-pixel shifts: some report their output moved by a pixel.
template <typename S>
double peerCpsnr(const Scene& sc, const S* img, size_t rowSamples, uint8_t p, bool bgr) {
  double best = 0;
  for (int32_t dy = -kPeerShift; dy <= kPeerShift; ++dy)
    for (int32_t dx = -kPeerShift; dx <= kPeerShift; ++dx)
      best = std::max(best, kernels::reference::CpsnrRows(sc, img, rowSamples, p, sc.bits, bgr,
                                                          true, kMargin, dx, dy));
  return best;
}

template <typename S>
void ours(benchmark::State& state, bool vng, uint8_t bits, int32_t w, int32_t h) {
  const Scene& sc = scene(w, h, bits);
  const auto raw = kernels::reference::Mosaic<S>(sc, kRggb);
  std::vector<S> out(size_t(w) * 3 * h + 8);
  const auto sites = BuildColourSites(true);
  auto run = [&] {
    if constexpr (sizeof(S) == 1)
      (vng ? kernels::DemosaicVng8Bgr : kernels::DemosaicPpg8Bgr)(
          kRggb, sites.site.data(), w, h, raw.data(), out.data(), bits, 3, 1);
    else
      (vng ? kernels::DemosaicVng16Bgr : kernels::DemosaicPpg16Bgr)(
          kRggb, sites.site.data(), w, h, raw.data(), out.data(), bits, 3, 1);
  };
  for (auto _ : state) {
    run();
    benchmark::DoNotOptimize(out.data());
  }
  quality()[key(vng ? "Vng" : "Ppg", "ours", bits, w, h)] =
      kernels::reference::Cpsnr(sc, out.data(), 3, bits, true, true, kMargin);
}

// AHD on its own scratch, grown before the timing as a pipeline state's is after its first frame.
template <typename S>
void oursAhd(benchmark::State& state, uint8_t bits, int32_t w, int32_t h) {
  const Scene& sc = scene(w, h, bits);
  const auto raw = kernels::reference::Mosaic<S>(sc, kRggb);
  std::vector<S> out(size_t(w) * 3 * h + 8);
  const auto sites = BuildColourSites(true);
  kernels::AhdScratch scratch;
  if (!scratch.reserve(w)) {
    state.SkipWithError("no memory for the AHD scratch");
    return;
  }
  for (auto _ : state) {
    if constexpr (sizeof(S) == 1)
      kernels::DemosaicAhd8Bgr(scratch, kRggb, sites.site.data(), w, h, raw.data(), out.data(),
                               bits, 3, 1);
    else
      kernels::DemosaicAhd16Bgr(scratch, kRggb, sites.site.data(), w, h, raw.data(), out.data(),
                                bits, 3, 1);
    benchmark::DoNotOptimize(out.data());
  }
  quality()[key("Ahd", "ours", bits, w, h)] =
      kernels::reference::Cpsnr(sc, out.data(), 3, bits, true, true, kMargin);
  state.counters["scratch_bytes"] = double(scratch.bytes());
}

// OpenCV's VNG takes 8-bit frames only and names the pattern by the cell at (1, 1).
void opencv(benchmark::State& state, int32_t w, int32_t h) {
  const Scene& sc = scene(w, h, 8);
  auto raw = kernels::reference::Mosaic<uint8_t>(sc, kRggb);
  // The output is made and written before timing, as ours is.
  cv::Mat src(h, w, CV_8UC1, raw.data()), dst(h, w, CV_8UC3, cv::Scalar::all(0));
  for (auto _ : state) {
    cv::demosaicing(src, dst, cv::COLOR_BayerBG2BGR_VNG);
    benchmark::DoNotOptimize(dst.data);
  }
  quality()[key("Vng", "opencv", 8, w, h)] =
      peerCpsnr(sc, dst.ptr<uint8_t>(), dst.step1(), 3, true);
}

template <typename S>
void dc1394(benchmark::State& state, uint8_t bits, int32_t w, int32_t h,
            dc1394bayer_method_t method) {
  const Scene& sc = scene(w, h, bits);
  auto raw = kernels::reference::Mosaic<S>(sc, kRggb);
  std::vector<S> out(size_t(w) * 3 * h);
  for (auto _ : state) {
    if constexpr (sizeof(S) == 1)
      dc1394_bayer_decoding_8bit(raw.data(), out.data(), w, h, DC1394_COLOR_FILTER_RGGB, method);
    else
      dc1394_bayer_decoding_16bit(raw.data(), out.data(), w, h, DC1394_COLOR_FILTER_RGGB, method,
                                  bits);
    benchmark::DoNotOptimize(out.data());
  }
  quality()[key(method == DC1394_BAYER_METHOD_AHD ? "Ahd" : "Vng", "dc1394", bits, w, h)] =
      peerCpsnr(sc, out.data(), size_t(w) * 3, 3, false);
}

// Reaches LibRaw's PPG and AHD passes themselves, so only the interpolation is timed.
class LibRawPasses : public LibRaw {
 public:
  void prepare() { pre_interpolate(); }
  void interpolate(bool ahd) {
    if (ahd)
      ahd_interpolate();
    else
      ppg_interpolate();
  }
};

// LibRaw reads 16-bit samples; the 8-bit frame is widened here, outside the timing. Its
// image keeps the raw range (no scaling runs), so it is scored as it stands.
void libraw(benchmark::State& state, uint8_t bits, int32_t w, int32_t h, bool ahd) {
  const Scene& sc = scene(w, h, bits);
  std::vector<uint16_t> raw = kernels::reference::Mosaic<uint16_t>(sc, kRggb);
  auto lr = std::make_unique<LibRawPasses>();
  lr->imgdata.params.user_qual = ahd ? 3 : 2;
  int rc = lr->open_bayer(reinterpret_cast<unsigned char*>(raw.data()),
                          unsigned(raw.size() * sizeof(uint16_t)), ushort(w), ushort(h), 0, 0, 0, 0,
                          0, LIBRAW_OPENBAYER_RGGB, 16 - bits, 0, 0);
  if (rc == LIBRAW_SUCCESS) rc = lr->unpack();
  if (rc == LIBRAW_SUCCESS) rc = lr->raw2image_ex(0);
  const auto& size = lr->imgdata.sizes;
  if (rc != LIBRAW_SUCCESS || size.iwidth != w || size.iheight != h || !lr->imgdata.image) {
    state.SkipWithError(("libraw: " + std::string(LibRaw::strerror(rc))).c_str());
    return;
  }
  lr->prepare();
  const size_t samples = size_t(w) * h * 4;
  const std::vector<uint16_t> before(&lr->imgdata.image[0][0], &lr->imgdata.image[0][0] + samples);
  for (auto _ : state) {
    state.PauseTiming();
    std::memcpy(lr->imgdata.image, before.data(), samples * sizeof(uint16_t));
    state.ResumeTiming();
    lr->interpolate(ahd);
    benchmark::DoNotOptimize(lr->imgdata.image);
  }
  quality()[key(ahd ? "Ahd" : "Ppg", "libraw", bits, w, h)] =
      peerCpsnr(sc, &lr->imgdata.image[0][0], size_t(w) * 4, 4, false);
}

struct Pair {
  const char *method, *peer;
  uint8_t bits;
};
constexpr Pair kPairs[] = {{"Vng", "opencv", 8},  {"Vng", "dc1394", 8},  {"Vng", "dc1394", 12},
                           {"Ppg", "libraw", 8},  {"Ppg", "libraw", 12}, {"Ahd", "libraw", 8},
                           {"Ahd", "libraw", 12}, {"Ahd", "dc1394", 8},  {"Ahd", "dc1394", 12}};

void registerAll() {
  for (const auto& size : kSizes) {
    const int32_t w = size[0], h = size[1];
    auto add = [&](const char* method, const char* who, uint8_t bits, auto fn) {
      benchmark::RegisterBenchmark(key(method, who, bits, w, h).c_str(), fn)
          ->Unit(benchmark::kMillisecond);
    };
    for (bool vng : {true, false}) {
      const char* m = vng ? "Vng" : "Ppg";
      add(m, "ours", 8, [=](benchmark::State& s) { ours<uint8_t>(s, vng, 8, w, h); });
      add(m, "ours", 12, [=](benchmark::State& s) { ours<uint16_t>(s, vng, 12, w, h); });
    }
    add("Vng", "opencv", 8, [=](benchmark::State& s) { opencv(s, w, h); });
    for (const char* m : {"Vng", "Ahd"}) {
      const auto method = m[0] == 'A' ? DC1394_BAYER_METHOD_AHD : DC1394_BAYER_METHOD_VNG;
      add(m, "dc1394", 8, [=](benchmark::State& s) { dc1394<uint8_t>(s, 8, w, h, method); });
      add(m, "dc1394", 12, [=](benchmark::State& s) { dc1394<uint16_t>(s, 12, w, h, method); });
    }
    add("Ahd", "ours", 8, [=](benchmark::State& s) { oursAhd<uint8_t>(s, 8, w, h); });
    add("Ahd", "ours", 12, [=](benchmark::State& s) { oursAhd<uint16_t>(s, 12, w, h); });
    for (bool ahd : {false, true}) {
      const char* m = ahd ? "Ahd" : "Ppg";
      add(m, "libraw", 8, [=](benchmark::State& s) { libraw(s, 8, w, h, ahd); });
      add(m, "libraw", 12, [=](benchmark::State& s) { libraw(s, 12, w, h, ahd); });
    }
  }
}

// One line per method, peer, depth and size.
void printTable(const bench::MedianTimes& times) {
  std::printf("\n%-34s %9s %9s %10s %11s %11s\n", "method / peer / depth / size", "ours ms",
              "peer ms", "ours/peer", "ours CPSNR", "peer CPSNR");
  auto q = [](const std::string& k) {
    const auto it = quality().find(k);
    return it == quality().end() ? 0.0 : it->second;
  };
  for (const Pair& p : kPairs)
    for (const auto& size : kSizes) {
      const std::string o = key(p.method, "ours", p.bits, size[0], size[1]);
      const std::string r = key(p.method, p.peer, p.bits, size[0], size[1]);
      const double ms = times.seconds(o) * 1e3, peer = times.seconds(r) * 1e3;
      if (ms <= 0 && peer <= 0) continue;
      const std::string label = std::string(p.method) + " / " + p.peer + " / " +
                                std::to_string(p.bits) + "bit / " + std::to_string(size[0]) + "x" +
                                std::to_string(size[1]);
      std::printf("%-34s %9.1f %9.1f %10.3f %11.2f %11.2f\n", label.c_str(), ms, peer,
                  times.ratio(o, r), q(o), q(r));
    }
  std::printf(
      "libraw timed: ppg_interpolate() / ahd_interpolate() alone, on an image restored before "
      "each pass\n");
}

}  // namespace

int main(int argc, char** argv) {
  cv::setNumThreads(1);
  omp_set_num_threads(1);
  benchmark::AddCustomContext("opencv_threads", std::to_string(cv::getNumThreads()));
  benchmark::AddCustomContext("libraw_threads", std::to_string(omp_get_max_threads()));
  benchmark::AddCustomContext("libraw", LibRaw::version());
  benchmark::AddCustomContext("ours_isa",
                              kernels::DetectedIsa() == kernels::Isa::Avx2 ? "avx2" : "sse2");
  registerAll();
  return bench::RunWithRatios(argc, argv, {printTable});
}
