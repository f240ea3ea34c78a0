// Raw steps and mono output: site offsets and tables, row order and layouts.
#include <gtest/gtest.h>

#include "kernels/colour_planes.h"
#include "kernels/raw_steps.h"
#include "kernels/reference/reference.h"
#include "tests/kernels/kit.h"

namespace kernels {
namespace {

using testkit::Guarded;
using testkit::Pattern;

TEST(KernelsRawSteps, BlackLevelTakesEachSitesOffsetAndStopsAtZero) {
  const uint16_t off[3] = {10, 20, 30};
  std::vector<uint8_t> raw = {100, 100, 100, 100,  // order 1: R G / G B
                              100, 100, 100, 100, 10, 20, 30, 5, 9, 30, 19, 31};
  SubtractBlackLevel(1, off, 4, 4, raw.data());
  const std::vector<uint8_t> want = {90, 80, 90, 80, 80, 70, 80, 70, 0, 0, 20, 0, 0, 0, 0, 1};
  EXPECT_EQ(raw, want);
  // The 8-bit form reads the low byte: 256 subtracts nothing.
  std::vector<uint8_t> same(9, 77);
  const uint16_t big[3] = {256, 256, 256};
  SubtractBlackLevel(2, big, 3, 3, same.data());
  EXPECT_EQ(same, std::vector<uint8_t>(9, 77));
}

TEST(KernelsRawSteps, RawStepsMatchReferenceForEveryOrderAndOddSize) {
  std::vector<uint16_t> tables[3];
  std::vector<uint8_t> tables8[3];
  testkit::Rng rng(3);
  for (int c = 0; c < 3; ++c) {
    tables[c].resize(65536), tables8[c].resize(256);
    for (auto& v : tables[c]) v = uint16_t(rng.next());
    for (auto& v : tables8[c]) v = uint8_t(rng.next());
  }
  const uint16_t off[3] = {300, 17, 4000};
  for (uint32_t b = 0; b < 4; ++b)
    for (auto [w, h] : {std::pair{1, 1}, std::pair{5, 3}, std::pair{7, 8}, std::pair{33, 9}}) {
      auto raw16 = testkit::rawFrame<uint16_t>(Pattern::AboveDepth, w, h, 4095, b * 31 + w);
      auto want16 = raw16, wb16 = raw16, wantWb16 = raw16;
      SubtractBlackLevel16(b, off, w, h, raw16.data());
      reference::blackLevel<uint16_t>(b, off, w, h, want16.data());
      EXPECT_EQ(raw16, want16) << b << " " << w << "x" << h;
      ApplyRawWb16(b, tables[0].data(), tables[1].data(), tables[2].data(), w, h, wb16.data());
      reference::rawWb<uint16_t>(b, tables[0].data(), tables[1].data(), tables[2].data(), w, h,
                                 wantWb16.data());
      EXPECT_EQ(wb16, wantWb16);
      auto raw8 = testkit::rawFrame<uint8_t>(Pattern::Random, w, h, 255, b + w), want8 = raw8;
      auto wb8 = raw8, wantWb8 = raw8;
      SubtractBlackLevel(b, off, w, h, raw8.data());
      reference::blackLevel<uint8_t>(b, off, w, h, want8.data());
      EXPECT_EQ(raw8, want8);
      ApplyRawWb(b, tables8[0].data(), tables8[1].data(), tables8[2].data(), w, h, wb8.data());
      reference::rawWb<uint8_t>(b, tables8[0].data(), tables8[1].data(), tables8[2].data(), w, h,
                                wantWb8.data());
      EXPECT_EQ(wb8, wantWb8);
    }
}

// The raw table on every instruction set: samples past a short table read its last entry;
// odd frames leave a scalar tail after the 32-byte blocks.
TEST(KernelsRawSteps, RawTableClampsAndMatchesALiteralLoopOnEveryIsa) {
  testkit::Rng rng(31);
  std::vector<uint8_t> full(256), shortTable(77);
  for (auto& v : full) v = uint8_t(rng.next());
  for (auto& v : shortTable) v = uint8_t(rng.next());
  const int32_t sizes[][2] = {{1, 1}, {3, 5}, {31, 1}, {33, 3}, {65, 7}, {127, 9}};
  for (Isa isa : testkit::availableIsas()) {
    testkit::IsaScope scope(isa);
    for (const auto* table : {&full, &shortTable})
      for (const auto& wh : sizes) {
        Guarded<uint8_t> raw(size_t(wh[0]) * wh[1]);
        for (size_t i = 0; i < raw.size(); ++i) raw[i] = uint8_t(rng.next());
        raw[0] = 255;
        Guarded<uint8_t> want = raw;
        const size_t last = table->size() - 1;
        for (size_t i = 0; i < want.size(); ++i)
          want[i] = (*table)[std::min<size_t>(want[i], last)];
        ApplyRawLut(table->data(), uint32_t(table->size()), wh[0], wh[1], raw.data());
        ASSERT_TRUE(raw == want) << testkit::isaName(isa) << " " << table->size() << " " << wh[0]
                                 << "x" << wh[1];
      }
  }
  uint8_t untouched[2] = {7, 9};
  ApplyRawLut(nullptr, 256, 2, 1, untouched);
  ApplyRawLut(full.data(), 0, 2, 1, untouched);
  EXPECT_EQ(untouched[0], 7);
  EXPECT_EQ(untouched[1], 9);
}

// The per-colour tables on every instruction set, both byte orders, 3- and 4-byte pixels: padded
// rows, single long rows and odd widths leave scalar tails after the vector blocks; a fourth
// sample and row padding stay as they were.
TEST(KernelsRawSteps, ColourTablesMatchALiteralLoopOnEveryIsa) {
  testkit::Rng rng(47);
  std::array<std::vector<uint8_t>, 3> t;
  for (auto& table : t) {
    table.resize(256);
    for (auto& v : table) v = uint8_t(rng.next());
  }
  const ColourPlanes<uint8_t> tables{t[0].data(), t[1].data(), t[2].data()};
  const int32_t sizes[][2] = {{1, 1},  {31, 3}, {32, 2}, {33, 5}, {64, 3},
                              {97, 7}, {11, 9}, {12, 5}, {36, 3}};
  for (Isa isa : testkit::availableIsas()) {
    testkit::IsaScope scope(isa);
    for (uint8_t p : {uint8_t(3), uint8_t(4)})
      for (uint8_t order : {uint8_t(0), uint8_t(1)})
        for (const auto& wh : sizes) {
          const Layout l{p, 8, 1, order};
          const size_t stride = rowStride<uint8_t>(p, wh[0]);
          Guarded<uint8_t> img(stride * size_t(wh[1]));
          for (size_t i = 0; i < img.size(); ++i) img[i] = uint8_t(rng.next());
          Guarded<uint8_t> want = img;
          for (int32_t y = 0; y < wh[1]; ++y)
            for (int32_t x = 0; x < wh[0]; ++x)
              for (int k = 0; k < 3; ++k) {
                uint8_t& v = want[size_t(y) * stride + size_t(x) * p + size_t(k)];
                v = t[order ? 2 - k : k][v];
              }
          ApplyColourTables(l, wh[0], wh[1], img.data(), tables);
          ASSERT_TRUE(img == want) << testkit::isaName(isa) << " p" << int(p) << " order "
                                   << int(order) << " " << wh[0] << "x" << wh[1];
        }
  }
}

TEST(KernelsRawSteps, InvalidOrderOrEmptyFrameChangesNothing) {
  const uint16_t off[3] = {5, 5, 5};
  std::vector<uint8_t> table(256, 0);
  for (auto [b, w, h] : {std::tuple{4u, 4, 4}, std::tuple{0xFFFFFFFFu, 4, 4}, std::tuple{0u, 0, 4},
                         std::tuple{0u, 4, -1}}) {
    std::vector<uint8_t> raw(16, 50);
    SubtractBlackLevel(b, off, w, h, raw.data());
    ApplyRawWb(b, table.data(), table.data(), table.data(), w, h, raw.data());
    EXPECT_EQ(raw, std::vector<uint8_t>(16, 50)) << b << " " << w << "x" << h;
  }
}

TEST(KernelsRawSteps, SpreadMonoLayoutsAndRowOrder) {
  for (uint8_t p : {1, 3, 4})
    for (bool rowOrder : {false, true}) {
      const auto raw = testkit::rawFrame<uint16_t>(Pattern::Random, 7, 5, 4095, p);
      Guarded<uint16_t> out(reference::stride<uint16_t>(p, 7) * 5), want = out;
      SpreadMono({p, 12, uint8_t(rowOrder), 0}, 7, 5, raw.data(), out.data());
      reference::convertMono<uint16_t>(rowOrder, p, 7, 5, raw.data(), want.data());
      EXPECT_TRUE(out == want) << int(p) << " " << rowOrder;
      EXPECT_TRUE(out.guardsIntact());
      const size_t firstRowAt = rowOrder ? 0 : reference::stride<uint16_t>(p, 7) * 4;
      EXPECT_EQ(out[firstRowAt], raw[0]);
    }
}

TEST(KernelsRawSteps, MonoLutMatchesReference) {
  std::vector<uint16_t> table(65536);
  for (uint32_t v = 0; v < 65536; ++v) table[v] = uint16_t(65535 - v);
  for (uint8_t p : {1, 3, 4}) {
    Guarded<uint16_t> img(reference::stride<uint16_t>(p, 9) * 4);
    testkit::Rng rng(p);
    for (size_t i = 0; i < img.size(); ++i) img[i] = uint16_t(rng.next());
    Guarded<uint16_t> want = img;
    ApplyMonoLut16(table.data(), 9, 4, img.data(), p);
    reference::monoLut<uint16_t>(table.data(), 9, 4, want.data(), p);
    EXPECT_TRUE(img == want) << int(p);
  }
}

}  // namespace
}  // namespace kernels
