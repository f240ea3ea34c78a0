// Output conversions: table anchors, packed 4:2:2 layouts, the crop, the fit, 16-to-8-bit.
#include <gtest/gtest.h>

#include <numeric>
#include <tuple>

#include "kernels/bgr_luma.h"
#include "kernels/output.h"
#include "kernels/reference/output_reference.h"
#include "tests/kernels/kit.h"

namespace kernels {
namespace {

using testkit::Guarded;

TEST(KernelsOutput, TableAnchors) {
  BuildYuvTables();
  BuildLumaTables();
  const YuvTables& t = GetYuvTables();
  EXPECT_EQ(t.luma[0], -18);
  EXPECT_EQ(t.luma[255], 278);
  EXPECT_EQ(t.uToBlue[0], -258);
  EXPECT_EQ(t.uToBlue[255], 256);
  EXPECT_EQ(t.vToRed[128], 0);
  const LumaTables& l = GetLumaTables();
  EXPECT_EQ(l.redByte[255], 76);
  EXPECT_EQ(l.greenByte[255], 149);
  EXPECT_EQ(l.blueByte[255], 29);
  EXPECT_DOUBLE_EQ(l.green[100], 100 * 0.587);
}

// The grey pull's luma is the sum of the three truncated byte tables: white gives 254, grey 128
// gives 127 (38 + 75 + 14), on every instruction set, at every position of the vector blocks.
TEST(KernelsOutput, GreyLumaIsTheSumOfTheByteTables) {
  const struct {
    uint8_t r, g, b, luma;
  } rows[] = {{255, 255, 255, 254}, {0, 0, 0, 0},    {128, 128, 128, 127}, {255, 0, 0, 76},
              {0, 255, 0, 149},     {0, 0, 255, 29}, {10, 20, 30, 16},     {200, 100, 50, 122}};
  for (const auto& row : rows)
    EXPECT_EQ(LumaOf(row.r, row.g, row.b), row.luma)
        << int(row.r) << "," << int(row.g) << "," << int(row.b);
  const LumaTables& t = GetLumaTables();
  for (Isa isa : testkit::availableIsas()) {
    testkit::IsaScope scope(isa);
    for (uint32_t w : {1u, 31u, 32u, 33u, 65u, 66u, 67u, 97u, 256u, 259u}) {
      // Each channel takes every byte value somewhere in the rows.
      const uint32_t h = 3;
      std::vector<uint8_t> bgr(size_t{3} * w * h + 4);
      testkit::Rng rng(w);
      for (size_t i = 0; i < bgr.size(); ++i) bgr[i] = uint8_t(i % 3 == 0 ? i / 3 : rng.next());
      Guarded<uint8_t> out(size_t{w} * h), want = out;
      BgrToLuma(bgr.data(), size_t{3} * w, out.data(), w, w, h);
      for (size_t i = 0; i < size_t{w} * h; ++i)
        want.data()[i] = uint8_t(t.blueByte[bgr[3 * i]] + t.greenByte[bgr[3 * i + 1]] +
                                 t.redByte[bgr[3 * i + 2]]);
      EXPECT_TRUE(out == want) << testkit::isaName(isa) << " width " << w;
    }
  }
}

Layout yuvState(uint8_t p, bool byteOrder) {
  return {p, 8, 1, uint8_t(byteOrder)};
}

// Widths either side of the 16- and 32-pixel vector blocks; odd widths start every other row inside
// a group, and an odd frame leaves its last pixel without one.
TEST(KernelsOutput, YuvVectorPathMatchesReferenceOnOddSizes) {
  for (Isa isa : testkit::availableIsas()) {
    testkit::IsaScope scope(isa);
    for (int32_t w : {1, 2, 3, 15, 16, 17, 31, 32, 33, 47, 49, 63, 65, 70, 97})
      for (int32_t h : {1, 2, 3, 5})
        for (uint8_t p : {3, 4})
          for (bool bgr : {false, true})
            for (bool alt : {false, true}) {
              std::vector<uint8_t> packed(size_t(w) * h * 2 + 1);
              testkit::Rng rng(w * 13 + h + p);
              for (auto& v : packed) v = uint8_t(rng.next());
              const Layout c = yuvState(p, bgr);
              Guarded<uint8_t> out(rowStride<uint8_t>(p, w) * h + 1), want = out;
              (alt ? Yuv422ToRgb8Alt : Yuv422ToRgb8)(c, packed.data() + 1, out.data() + 1, w, h);
              reference::yuv422(alt, bgr, p, packed.data() + 1, want.data() + 1, w, h);
              EXPECT_TRUE(out == want) << testkit::isaName(isa) << " " << w << "x" << h << " p"
                                       << int(p) << " bgr " << bgr << " alt " << alt;
            }
  }
}

// The conversion with colour tables equals the conversion followed by each byte's colour table,
// on every instruction set, both byte orders and formats, block edges and odd sizes.
TEST(KernelsOutput, YuvWithColourTablesIsTheConversionThenTheTables) {
  std::array<std::array<uint8_t, 256>, 3> table;  // red, green, blue
  testkit::Rng rng(77);
  for (auto& t : table)
    for (auto& v : t) v = uint8_t(rng.next());
  const ColourPlanes<uint8_t> tables{table[0].data(), table[1].data(), table[2].data()};
  for (Isa isa : testkit::availableIsas()) {
    testkit::IsaScope scope(isa);
    for (int32_t w : {1, 3, 31, 32, 33, 63, 64, 65, 97})
      for (int32_t h : {1, 3})
        for (uint8_t p : {3, 4})
          for (bool bgr : {false, true})
            for (bool alt : {false, true}) {
              std::vector<uint8_t> packed(size_t(w) * h * 2 + 1);
              for (auto& v : packed) v = uint8_t(rng.next());
              const Layout c = yuvState(p, bgr);
              Guarded<uint8_t> out(rowStride<uint8_t>(p, w) * h + 1), want = out;
              Yuv422ToRgb8Tables(c, alt, packed.data() + 1, out.data() + 1, w, h, tables);
              reference::yuv422(alt, bgr, p, packed.data() + 1, want.data() + 1, w, h);
              const size_t stride = rowStride<uint8_t>(p, w);
              for (size_t i = 0; i < size_t(w) * h - (size_t(w) * h) % 2; ++i) {
                uint8_t* px = want.data() + 1 + (i / size_t(w)) * stride + (i % size_t(w)) * p;
                for (int k = 0; k < 3; ++k) px[k] = table[size_t(bgr ? 2 - k : k)][px[k]];
              }
              EXPECT_TRUE(out == want) << testkit::isaName(isa) << " " << w << "x" << h << " p"
                                       << int(p) << " bgr " << bgr << " alt " << alt;
            }
  }
}

// Every (U, V) pair once, with every luma value against each: the vector arithmetic must give
// each table's truncated products exactly, and the clamps at both ends.
TEST(KernelsOutput, YuvEverySampleValueMatchesTheTables) {
  constexpr int32_t w = 512, h = 256;  // one group per (U, V)
  std::vector<uint8_t> packed(size_t(w) * h * 2);
  for (size_t g = 0; g < packed.size() / 4; ++g) {
    const uint8_t a = uint8_t(g), b = uint8_t(g >> 8);
    uint8_t* q = &packed[4 * g];
    q[0] = a, q[1] = uint8_t(a + b), q[2] = b, q[3] = uint8_t(a * 7 + b);
  }
  for (Isa isa : testkit::availableIsas()) {
    testkit::IsaScope scope(isa);
    for (bool alt : {false, true}) {
      const Layout c = yuvState(3, true);
      Guarded<uint8_t> out(rowStride<uint8_t>(3, w) * h), want = out;
      (alt ? Yuv422ToRgb8Alt : Yuv422ToRgb8)(c, packed.data(), out.data(), w, h);
      reference::yuv422(alt, true, 3, packed.data(), want.data(), w, h);
      EXPECT_TRUE(out == want) << testkit::isaName(isa) << " alt " << alt;
    }
  }
}

TEST(KernelsOutput, CopyRoiPacksTheRegionAndItsTrailer) {
  std::vector<uint8_t> buf(16 + 48);
  std::iota(buf.begin(), buf.end(), 0);
  ASSERT_TRUE(CopyRoi(buf.data(), buf.size(), 4, 4, 2, 2, 1, 1, 1, 1));
  EXPECT_EQ(std::vector<uint8_t>(buf.begin(), buf.begin() + 4),
            (std::vector<uint8_t>{5, 6, 9, 10}));
  for (int i = 0; i < 48; ++i) EXPECT_EQ(buf[4 + i], 16 + i);
  // Full-size region at the origin changes nothing; three bytes per pixel move whole pixels.
  std::vector<uint8_t> rgb(4 * 3 * 3), same;
  std::iota(rgb.begin(), rgb.end(), 0);
  same = rgb;
  ASSERT_TRUE(CopyRoi(rgb.data(), rgb.size(), 4, 3, 4, 3, 0, 0, 3, 0));
  EXPECT_EQ(rgb, same);
  ASSERT_TRUE(CopyRoi(rgb.data(), rgb.size(), 4, 3, 1, 2, 3, 1, 3, 0));
  EXPECT_EQ(std::vector<uint8_t>(rgb.begin(), rgb.begin() + 6),
            (std::vector<uint8_t>{21, 22, 23, 33, 34, 35}));
}

TEST(KernelsOutput, CopyRoiRefusesBadRegions) {
  // (w, h, left, top, trailer, buffer bytes) on a 4 x 4 one-byte frame.
  for (auto [w, h, l, t, tr, n] : {std::tuple{0, 2, 0, 0, 0, 16}, std::tuple{2, -1, 0, 0, 0, 16},
                                   std::tuple{2, 2, 3, 0, 0, 16}, std::tuple{2, 2, 0, 3, 0, 16},
                                   std::tuple{2, 2, -1, 0, 0, 16}, std::tuple{5, 1, 0, 0, 0, 16},
                                   std::tuple{2, 2, 0, 0, 1, 63}, std::tuple{2, 2, 0, 0, 0, 15}}) {
    std::vector<uint8_t> buf(64);
    std::iota(buf.begin(), buf.end(), 0);
    const auto before = buf;
    EXPECT_FALSE(CopyRoi(buf.data(), size_t(n), 4, 4, w, h, l, t, 1, uint8_t(tr)));
    EXPECT_EQ(buf, before);
  }
}

TEST(KernelsOutput, BayerPhaseForEveryOrderAndOrigin) {
  const int32_t table[4][4] = {{0, 1, 2, 3}, {1, 0, 3, 2}, {2, 3, 0, 1}, {3, 2, 1, 0}};
  for (int32_t b = 0; b < 4; ++b)
    for (int32_t dx = 0; dx < 2; ++dx)
      for (int32_t dy = 0; dy < 2; ++dy) {
        EXPECT_EQ(BayerPhaseForRoi(b, 10 + dx, 6 + dy), table[b][dx + 2 * dy]);
        EXPECT_EQ(BayerPhaseForRoi(BayerPhaseForRoi(b, dx, dy), dx, dy), b);
      }
}

template <typename S>
std::vector<S> fitSource(int32_t w, int32_t h, uint8_t p, uint64_t seed) {
  std::vector<S> f(rowStride<S>(p, w) * h);
  testkit::Rng rng(seed);
  for (auto& v : f) v = S(rng.next());
  return f;
}
bool fit(int32_t ow, int32_t oh, int32_t pw, int32_t ph, uint8_t* out, size_t outBytes,
         const uint8_t* src, size_t srcBytes, uint8_t p) {
  return FitToOutput(ow, oh, pw, ph, out, outBytes, src, srcBytes, p);
}
bool fit(int32_t ow, int32_t oh, int32_t pw, int32_t ph, uint16_t* out, size_t outBytes,
         const uint16_t* src, size_t srcBytes, uint8_t p) {
  return FitToOutput16(ow, oh, pw, ph, out, outBytes, src, srcBytes, p);
}

// Both sample widths; 16-bit sources are full-range, so a mean of wide samples is exact.
template <typename S>
void fitMatchesReference() {
  // Wider by a factor with a centred skip (23 -> 5), shorter with rows past fy x height (4 -> 11).
  const std::pair<int32_t, int32_t> sizes[] = {{7, 5},  {3, 11}, {16, 4}, {5, 5},
                                               {23, 4}, {1, 1},  {2, 13}};
  for (uint8_t p : {1, 3, 4})
    for (auto [ow, oh] : sizes)
      for (auto [pw, ph] : sizes) {
        const auto src = fitSource<S>(pw, ph, p, ow * 31 + ph);
        Guarded<S> out(rowStride<S>(p, ow) * oh), want = out;
        ASSERT_TRUE(fit(ow, oh, pw, ph, out.data(), out.size() * sizeof(S), src.data(),
                        src.size() * sizeof(S), p));
        reference::fitToOutput(ow, oh, pw, ph, want.data(), src.data(), p);
        EXPECT_TRUE(out == want) << pw << "x" << ph << " -> " << ow << "x" << oh << " p" << int(p)
                                 << " " << sizeof(S) * 8 << "-bit";
        EXPECT_TRUE(out.guardsIntact());
      }
  // Short buffers are refused (sizes in bytes at both widths).
  const auto src = fitSource<S>(8, 2, 3, 0);
  const size_t need = 4 * 3 * 4 * sizeof(S), have = src.size() * sizeof(S);
  Guarded<S> out(4 * 3 * 4);
  EXPECT_FALSE(fit(4, 4, 8, 2, out.data(), need - 1, src.data(), have, 3));
  EXPECT_FALSE(fit(4, 4, 8, 2, out.data(), need, src.data(), have - 1, 3));
  EXPECT_TRUE(out.guardsIntact());
}

TEST(KernelsOutput, FitEveryDirectionAndPixelSizeMatchesReference) {
  fitMatchesReference<uint8_t>();
  fitMatchesReference<uint16_t>();
}

// Samples above the depth saturate at 255 (the reference never wraps).
TEST(KernelsOutput, Convert16To8PathsMatchReference) {
  for (Isa isa : testkit::availableIsas()) {
    testkit::IsaScope scope(isa);
    for (uint8_t bits : {10, 12, 14, 16})
      for (int32_t n : {31, 32, 33, 65})
        for (uint8_t p : {1, 3})
          for (size_t offset : {0, 1, 3}) {
            const int32_t w = n / p + (n % p ? 1 : 0), rows = 3;
            const size_t rs = rowStride<uint16_t>(p, w) * rows;
            std::vector<uint16_t> src(rs + offset);
            testkit::Rng rng(bits * 1000 + n + offset);
            for (auto& v : src) v = uint16_t(rng.below(4) ? rng.below(1u << bits) : rng.next());
            Guarded<uint8_t> out(rowStride<uint8_t>(p, w) * rows + offset), want = out;
            Convert16To8(src.data() + offset, out.data() + offset, w, rows, p, bits);
            reference::convert16To8(src.data() + offset, want.data() + offset, w, rows, p, bits);
            EXPECT_TRUE(out == want)
                << testkit::isaName(isa) << " bits " << int(bits) << " n " << n;
            // In place: the destination is the source buffer.
            std::vector<uint16_t> inPlace = src;
            auto* bytes = reinterpret_cast<uint8_t*>(inPlace.data() + offset);
            Convert16To8(inPlace.data() + offset, bytes, w, rows, p, bits);
            const size_t rd = rowStride<uint8_t>(p, w);
            for (int32_t y = 0; y < rows;
                 ++y)  // samples only: in place the padding is the source's
              EXPECT_EQ(0,
                        std::memcmp(bytes + y * rd, want.data() + offset + y * rd, size_t(w) * p));
          }
  }
}

}  // namespace
}  // namespace kernels
