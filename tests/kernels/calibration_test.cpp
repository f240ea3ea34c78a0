// Calibration kernels: defect repair rules and bounds, flat field, dark subtraction paths, hot
// pixels.
#include <gtest/gtest.h>

#include <numeric>
#include <tuple>

#include "kernels/calibration.h"
#include "kernels/dark_subtract.h"
#include "kernels/reference/output_reference.h"
#include "platform/cpu.h"
#include "tests/kernels/kit.h"

namespace kernels {
namespace {

// A w x h frame whose sample at (x, y) is 10 y + x (small frames only).
std::vector<uint8_t> indexed(int32_t w, int32_t h) {
  std::vector<uint8_t> f(size_t(w) * h);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) f[y * w + x] = uint8_t(10 * y + x);
  return f;
}

TEST(KernelsCalibration, ColourDefectBorderOrder) {
  const int32_t w = 8, h = 6;
  // (x, y, flag) -> the position whose sample it takes.
  for (auto [x, y, flag, fx, fy] :
       {std::tuple{0u, 3u, 0u, 2, 3}, std::tuple{7u, 3u, 0u, 5, 3}, std::tuple{3u, 5u, 0u, 3, 3},
        std::tuple{3u, 1u, 0u, 3, 3},
        std::tuple{1u, 2u, 1u, 3, 2},     // flagged without four neighbours
        std::tuple{3u, 4u, 1u, 3, 2}}) {  // y = h - 2 < d from the bottom
    auto f = indexed(w, h);
    const DefectPixel e{x, y, flag};
    FixDefectPixelsColor(1, &e, w, h, f.data(), nullptr);
    EXPECT_EQ(f[y * w + x], 10 * fy + fx) << x << "," << y;
  }
  // Interior: the four-neighbour mean, flagged or not (10, 20, 30, 41 -> 25).
  for (uint32_t flag : {0u, 1u}) {
    auto f = indexed(w, h);
    f[0 * w + 3] = 10, f[4 * w + 3] = 20, f[2 * w + 1] = 30, f[2 * w + 5] = 41;
    const DefectPixel e{3, 2, flag};
    FixDefectPixelsColor(1, &e, w, h, f.data(), nullptr);
    EXPECT_EQ(f[2 * w + 3], 25);
  }
}

TEST(KernelsCalibration, RegionEntriesAreMovedOrSkipped) {
  // Sensor region x 2..7, y 1..6: the frame is 6 x 6.
  const SensorRect region{2, 1, 8, 7};
  const int32_t w = 6, h = 6;
  auto f = indexed(w, h);
  const auto before = f;
  const DefectPixel outside[] = {{8, 3, 1}, {1, 3, 1}, {4, 0, 1}, {4, 7, 1}};
  FixDefectPixelsColor(4, outside, w, h, f.data(), &region);
  EXPECT_EQ(f, before);
  // Sensor (2, 5) is region (0, 4): the border rule even though flagged.
  const DefectPixel edge{2, 5, 1};
  FixDefectPixelsColor(1, &edge, w, h, f.data(), &region);
  EXPECT_EQ(f[4 * w + 0], before[4 * w + 2]);
  // Sensor (5, 3) is region (3, 2): interior mean.
  const DefectPixel inner{5, 3, 0};
  FixDefectPixelsColor(1, &inner, w, h, f.data(), &region);
  EXPECT_EQ(f[2 * w + 3],
            (before[0 * w + 3] + before[4 * w + 3] + before[2 * w + 1] + before[2 * w + 5]) >> 2);
}

TEST(KernelsCalibration, MonoDistanceOneTwoWithARegion) {
  const int32_t w = 6, h = 6;
  auto f = indexed(w, h);
  const DefectPixel e{2, 2, 1};
  FixDefectPixelsMono(1, &e, w, h, f.data(), nullptr);  // d = 1
  EXPECT_EQ(f[2 * w + 2], (12 + 32 + 21 + 23) >> 2);
  const SensorRect whole{0, 0, w, h};
  f = indexed(w, h);
  FixDefectPixelsMono(1, &e, w, h, f.data(), &whole);  // d = 2 with a region
  EXPECT_EQ(f[2 * w + 2], (2 + 42 + 20 + 24) >> 2);
}

TEST(KernelsCalibration, EntriesOutsideTheFrameAreSkipped) {
  // A list of a larger frame on a 5 x 4 one (ASan catches any write outside).
  const DefectPixel list[] = {{5, 1, 1}, {1, 4, 1}, {100000, 3, 0}, {2, 0xFFFFFFFFu, 1}, {4, 3, 1}};
  std::vector<uint8_t> f(5 * 4, 7);
  f[3 * 5 + 2] = 90;
  FixDefectPixelsColor(5, list, 5, 4, f.data(), nullptr);
  EXPECT_EQ(f[3 * 5 + 4], f[3 * 5 + 2]);  // (4, 3) copies x - 2
  std::vector<uint16_t> m(5 * 4, 7);
  FixDefectPixelsMono16(5, list, 5, 4, m.data(), nullptr);
  // Frames or regions under 2d are left alone.
  std::vector<uint8_t> tiny(3 * 3, 1), before = tiny;
  const DefectPixel centre{1, 1, 1};
  FixDefectPixelsColor(1, &centre, 3, 3, tiny.data(), nullptr);
  const SensorRect narrow{0, 0, 3, 3};
  FixDefectPixelsMono(1, &centre, 3, 3, tiny.data(), &narrow);
  EXPECT_EQ(tiny, before);
}

TEST(KernelsCalibration, YuvRepairFlaggedFirstByteOnly) {
  const int32_t w = 4, h = 3;
  std::vector<uint8_t> f(size_t(w) * h * 2);
  std::iota(f.begin(), f.end(), 0);
  const auto before = f;
  // Odd x: (above + below) / 2. Even x: also the first bytes left and right, >> 2.
  const DefectPixel list[] = {{1, 1, 1}, {2, 1, 1}, {3, 1, 0}, {0, 1, 1},
                              {1, 0, 1}, {1, 2, 1}, {9, 1, 1}};
  FixDefectPixelsYuv(7, list, w, h, f.data());
  EXPECT_EQ(f[8 + 2], (before[2] + before[16 + 2]) / 2);
  EXPECT_EQ(f[8 + 4], (before[4] + before[16 + 4] + before[8 + 2] + before[8 + 6]) >> 2);
  f[8 + 2] = before[8 + 2], f[8 + 4] = before[8 + 4];
  EXPECT_EQ(f, before);  // unflagged, neighbourless and second bytes untouched
}

// Samples times 16.16 gains, clamped to the depth; the product needs 64 bits (40000 x 2.0 in 32
// bits wraps to 14464, 128 x 512.0 to 0).
TEST(KernelsCalibration, FlatFieldScalesAndClamps) {
  const struct {
    uint8_t bits;
    uint16_t sample;
    uint32_t gain;
    uint16_t want;
  } table[] = {
      {8, 100, 65536, 100},
      {8, 100, 131072, 200},
      {8, 200, 131072, 255},
      {8, 128, 1u << 25, 255},
      {8, 1, 32768, 0},
      {16, 40000, 131072, 65535},
      {16, 65535, 0xFFFFFFFFu, 65535},
      {16, 4000, 131072, 8000},
      {12, 4000, 131072, 4095},
      {12, 3000, 32768, 1500},
      {12, 2, 0, 0},
  };
  for (const auto& r : table) {
    uint16_t got;
    if (r.bits == 8) {
      uint8_t v = uint8_t(r.sample);
      ApplyFfc(1, 1, &v, 8, &r.gain);
      got = v;
    } else {
      got = r.sample;
      ApplyFfc16(1, 1, &got, r.bits, &r.gain);
    }
    EXPECT_EQ(got, r.want) << int(r.bits) << "-bit " << r.sample << " x " << r.gain;
  }
}

template <typename S>
using Blocks = size_t (*)(S*, const S*, size_t);

// Every vector body this processor runs, finished by the scalar rule.
template <typename S>
std::vector<std::pair<const char*, Blocks<S>>> bodies() {
  std::vector<std::pair<const char*, Blocks<S>>> b;
  if constexpr (sizeof(S) == 1)
    b.push_back({"sse2", &dark::blocks8Sse2});
  else
    b.push_back({"sse2", &dark::blocks16Sse2});
  if constexpr (sizeof(S) == 2)
    if (platform::DetectCpuFeatures().sse41) b.push_back({"sse41", &dark::blocks16Sse41});
  if (DetectedIsa() == Isa::Avx2) {
    if constexpr (sizeof(S) == 1)
      b.push_back({"avx2", &dark::blocks8Avx2});
    else
      b.push_back({"avx2", &dark::blocks16Avx2});
  }
  return b;
}

inline void subtract(int32_t w, int32_t h, uint8_t* f, const uint8_t* d) {
  SubtractDark8(w, h, f, d);
}
inline void subtract(int32_t w, int32_t h, uint16_t* f, const uint16_t* d) {
  SubtractDark16(w, h, f, d);
}

template <typename S>
void darkPaths() {
  testkit::Rng rng(sizeof(S));
  std::vector<S> base(256), dark(256);
  for (auto& v : base) v = S(rng.next());
  for (auto& v : dark) v = S(rng.next());
  for (Isa isa : testkit::availableIsas()) {
    testkit::IsaScope scope(isa);
    for (size_t off = 0; off < 64; ++off)
      for (int32_t n = 0; n <= 100; ++n) {
        testkit::Guarded<S> f(128 + 64), want = f;
        std::copy_n(base.begin(), f.size(), &f[0]);
        std::copy_n(base.begin(), f.size(), &want[0]);
        subtract(n, 1, &f[off], dark.data() + (off * 3) % 64);
        reference::subtractDark<S>(size_t(n), &want[off], dark.data() + (off * 3) % 64);
        ASSERT_TRUE(f == want) << testkit::isaName(isa) << " off " << off << " n " << n;
      }
  }
  for (auto [name, body] : bodies<S>()) {
    std::vector<S> f(base.begin(), base.begin() + 99), want = f;
    const size_t done = body(f.data(), dark.data() + 1, 99);
    reference::subtractDark<S>(99, want.data(), dark.data() + 1);
    for (size_t i = done; i < 99; ++i) f[i] = f[i] > dark[i + 1] ? S(f[i] - dark[i + 1]) : S(0);
    EXPECT_EQ(f, want) << name;
  }
}

TEST(KernelsCalibration, DarkSubtractionEveryPathEqualsTheRule) {
  darkPaths<uint8_t>();
  darkPaths<uint16_t>();
  // A frame of several rows.
  const int32_t w = 67, h = 5;
  auto frame = testkit::rawFrame<uint16_t>(testkit::Pattern::Random, w, h, 4095, 9);
  auto dark = testkit::rawFrame<uint16_t>(testkit::Pattern::Random, w, h, 4095, 10);
  auto want = frame;
  SubtractDark16(w, h, frame.data(), dark.data());
  reference::subtractDark<uint16_t>(want.size(), want.data(), dark.data());
  EXPECT_EQ(frame, want);
}

TEST(KernelsCalibration, HotPixelsInListOrderWithTheFramesDistance) {
  // Two hot pixels d apart: the second uses the first's repaired value.
  const HotPixel list[] = {{2, 2}, {4, 2}, {1, 2}, {2, 5}, {60000, 2}, {5, 2}, {2, 4}};
  const int32_t w = 7, h = 6;
  std::vector<uint8_t> f(w * h, 0);
  f[2 * w + 2] = 200, f[2 * w + 4] = 100, f[0 * w + 4] = 40, f[4 * w + 4] = 40, f[2 * w + 6] = 40;
  f[3 * w + 0] = 80;  // the pixel a repair at x = w - d would take as its right neighbour
  RepairHotPixels(list, std::size(list), 2, w, h, f.data());
  EXPECT_EQ(f[2 * w + 2], (0 + 0 + 0 + 100) >> 2);
  EXPECT_EQ(f[2 * w + 4], (40 + 40 + 25 + 40) >> 2);
  EXPECT_EQ(f[2 * w + 1], 0);  // x = 1 < d: outside this frame's interior
  // x = w - d and y = h - d would read a neighbour past the row or the frame: left alone.
  EXPECT_EQ(f[2 * w + 5], 0);
  EXPECT_EQ(f[4 * w + 2], 0);
  const HotPixel centre{1, 1};
  std::vector<uint16_t> m = {0, 8, 0, 16, 999, 24, 0, 40, 0};
  RepairHotPixels16(&centre, 1, 1, 3, 3, m.data());
  EXPECT_EQ(m[4], (8 + 40 + 16 + 24) >> 2);
  // Three-byte pixels: neighbours 3 and 3w bytes away, each byte on its own.
  std::vector<uint8_t> bmp(3 * 3 * 3, 0);
  for (int c = 0; c < 3; ++c) bmp[1 * 3 + c] = uint8_t(4 * (c + 1)), bmp[4 * 3 + c] = 255;
  RepairHotPixelsBmp(&centre, 1, 3, 3, bmp.data());
  for (int c = 0; c < 3; ++c) EXPECT_EQ(bmp[4 * 3 + c], c + 1);
}

}  // namespace
}  // namespace kernels
