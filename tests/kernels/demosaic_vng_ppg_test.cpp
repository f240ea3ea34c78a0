// VNG and PPG demosaic: every member against the literal rules, hand anchors and the inputs they
// refuse.
#include <gtest/gtest.h>

#include "kernels/demosaic.h"
#include "kernels/reference/reference.h"
#include "tests/kernels/kit.h"

namespace kernels {
namespace {

using testkit::Guarded;
using testkit::Pattern;

enum class Method { Vng, Ppg };

const char* name(Method m) {
  return m == Method::Vng ? "vng" : "ppg";
}

template <typename S>
using Kernel = void (*)(uint32_t, const uint8_t*, int32_t, int32_t, const S*, S*, uint8_t, uint8_t,
                        uint8_t);

template <typename S>
Kernel<S> member(Method m, bool bgr) {
  if constexpr (sizeof(S) == 1) {
    if (m == Method::Vng) return bgr ? DemosaicVng8Bgr : DemosaicVng8Rgb;
    return bgr ? DemosaicPpg8Bgr : DemosaicPpg8Rgb;
  } else {
    if (m == Method::Vng) return bgr ? DemosaicVng16Bgr : DemosaicVng16Rgb;
    return bgr ? DemosaicPpg16Bgr : DemosaicPpg16Rgb;
  }
}

struct Case {
  Method m;
  int32_t w, h;
  uint32_t b;
  bool bgr, rowOrder;
  uint8_t p, bits;
};

std::string describe(const Case& c, Pattern k) {
  return std::string(name(c.m)) + " " + std::to_string(c.w) + "x" + std::to_string(c.h) + " b" +
         std::to_string(c.b) + (c.bgr ? " bgr" : " rgb") +
         (c.rowOrder ? " top-down" : " bottom-up") + " p" + std::to_string(c.p) + " bits" +
         std::to_string(c.bits) + " pattern" + std::to_string(int(k));
}

template <typename S>
Guarded<S> run(const Case& c, const std::vector<S>& raw) {
  Guarded<S> out(reference::stride<S>(c.p, c.w) * c.h);
  member<S>(c.m, c.bgr)(c.b, testkit::siteTable(c.bgr).data(), c.w, c.h, raw.data(), out.data(),
                        c.bits, c.p, c.rowOrder);
  return out;
}

// The reference's bytes once, then every instruction set this processor runs against them.
template <typename S>
void expectMatchesReferenceOn(const Case& c, const std::vector<S>& raw, const std::string& what) {
  const auto site = testkit::siteTable(c.bgr);
  Guarded<S> want(reference::stride<S>(c.p, c.w) * c.h);
  (c.m == Method::Vng ? reference::vng<S> : reference::ppg<S>)(c.b, site.data(), c.w, c.h,
                                                               raw.data(), want.data(), c.bits, c.p,
                                                               c.rowOrder);
  for (Isa isa : testkit::availableIsas()) {
    testkit::IsaScope scope(isa);
    const Guarded<S> got = run(c, raw);
    ASSERT_TRUE(got.guardsIntact()) << what << " " << testkit::isaName(isa);
    ASSERT_TRUE(got == want) << what << " " << testkit::isaName(isa);
  }
}

template <typename S>
void expectMatchesReference(const Case& c, Pattern kind, uint64_t seed) {
  const uint32_t max = sizeof(S) == 1 ? 255u : (65535u >> (16 - c.bits));
  expectMatchesReferenceOn<S>(c, testkit::rawFrame<S>(kind, c.w, c.h, max, seed),
                              describe(c, kind));
}

// Every order, byte order, row order, p, depth and pattern over odd sizes up to past two vector
// blocks and a ragged end; 16 significant bits take the hue transit past 32-bit products.
TEST(KernelsDemosaicVngPpg, MatchReferenceAcrossTheMatrix) {
  static constexpr int32_t kSizes[][2] = {{5, 5},  {6, 7},   {7, 9},   {9, 6},  {13, 11}, {21, 8},
                                          {33, 5}, {35, 10}, {19, 7},  {23, 6}, {37, 9},  {45, 5},
                                          {51, 8}, {61, 6},  {67, 11}, {67, 67}};
  constexpr uint8_t kDepths[] = {8, 10, 12, 14, 16};
  uint64_t seed = 1;
  for (Method m : {Method::Vng, Method::Ppg})
    for (uint8_t bits : kDepths)
      for (uint32_t b = 0; b < 4; ++b)
        for (int order = 0; order < 4; ++order)
          for (uint8_t p : {3, 4})
            for (Pattern kind : testkit::kPatterns) {
              const auto& size = kSizes[seed % std::size(kSizes)];
              const Case c{m, size[0], size[1], b, (order & 1) != 0, (order & 2) != 0, p, bits};
              if (bits == 8)
                expectMatchesReference<uint8_t>(c, kind, seed++);
              else
                expectMatchesReference<uint16_t>(c, kind, seed++);
            }
}

// A camera-sized frame on a sample of the combinations: long rows of whole blocks.
TEST(KernelsDemosaicVngPpg, LargeFramesMatchReference) {
  for (Method m : {Method::Vng, Method::Ppg}) {
    expectMatchesReference<uint8_t>({m, 1283, 967, 1, true, false, 3, 8}, Pattern::Random, 7);
    expectMatchesReference<uint16_t>({m, 1283, 967, 2, false, true, 4, 12}, Pattern::AboveDepth, 8);
    expectMatchesReference<uint16_t>({m, 257, 193, 0, false, true, 4, 16}, Pattern::Random, 9);
    expectMatchesReference<uint16_t>({m, 131, 67, 3, true, true, 3, 10}, Pattern::Spikes, 10);
    expectMatchesReference<uint8_t>({m, 255, 130, 0, false, false, 4, 8}, Pattern::Gradient, 11);
  }
  // Rows past what PPG's green row buffers hold take its scalar colour pass.
  expectMatchesReference<uint8_t>({Method::Ppg, 16390, 6, 1, true, true, 3, 8}, Pattern::Random,
                                  12);
  expectMatchesReference<uint16_t>({Method::Ppg, 16387, 7, 2, false, false, 4, 12}, Pattern::Random,
                                   13);
}

// Widths around whole vector blocks (32, 16 and 8 pixels) leave no, one or several pixels to the
// scalar loop; single samples past 12 bits in one row make the 16-bit bodies change lanes at
// that row and its neighbours only.
TEST(KernelsDemosaicVngPpg, BlockEdgesAndLaneChangesMatchReference) {
  constexpr int32_t kWidths[] = {19, 20, 21, 22, 27, 35, 36, 37, 38, 52, 53, 68, 69, 70, 71};
  struct Spike {
    int32_t row;     // -1: none
    uint16_t value;  // written at column 9 of that row
  };
  constexpr Spike kSpikes[] = {{-1, 0}, {0, 4096}, {5, 4096}, {6, 65535}, {12, 40000}};
  uint64_t seed = 100;
  for (Method m : {Method::Vng, Method::Ppg})
    for (int32_t w : kWidths) {
      for (uint32_t b = 0; b < 4; ++b)
        expectMatchesReference<uint8_t>({m, w, 9, b, b % 2 == 0, b < 2, uint8_t(3 + b % 2), 8},
                                        Pattern::Random, seed++);
      for (const Spike& spike : kSpikes) {
        const Case c{m, w, 13, uint32_t(w % 4), w % 2 == 0, true, uint8_t(3 + w % 2), 12};
        auto raw = testkit::rawFrame<uint16_t>(Pattern::Random, w, c.h, 4095, seed++);
        if (spike.row >= 0) raw[size_t(spike.row) * w + 9] = spike.value;
        expectMatchesReferenceOn<uint16_t>(c, raw, "spike row " + std::to_string(spike.row));
      }
    }
}

// A frame of one value per colour (green alike on both row kinds) comes out as those values in
// the interior, each in its byte order's channel; a uniform frame everywhere.
TEST(KernelsDemosaicVngPpg, ConstantColoursSurviveInTheirChannels) {
  struct Anchor {
    Method m;
    bool bgr;
    uint8_t bits;
    uint32_t r, g, bl;
  };
  const Anchor anchors[] = {
      {Method::Vng, false, 8, 200, 100, 20},     {Method::Vng, true, 8, 7, 250, 90},
      {Method::Vng, true, 12, 4095, 0, 1234},    {Method::Vng, false, 8, 77, 77, 77},
      {Method::Ppg, false, 8, 200, 100, 20},     {Method::Ppg, true, 8, 7, 250, 90},
      {Method::Ppg, false, 16, 65535, 1, 40000}, {Method::Ppg, true, 12, 300, 300, 300},
  };
  for (const Anchor& a : anchors)
    for (uint32_t b = 0; b < 4; ++b) {
      const int32_t w = 11, h = 9;
      auto check = [&](auto sample) {
        using S = decltype(sample);
        std::vector<S> raw(size_t(w) * h);
        for (int32_t y = 0; y < h; ++y)
          for (int32_t x = 0; x < w; ++x) {
            const uint8_t c = kBayerColour[b][y & 1][x & 1];
            raw[size_t(y) * w + x] = S(c == 0 ? a.r : c == 1 ? a.g : a.bl);
          }
        const Case c{a.m, w, h, b, a.bgr, true, 3, a.bits};
        const Guarded<S> out = run(c, raw);
        const uint32_t want[3] = {a.bgr ? a.bl : a.r, a.g, a.bgr ? a.r : a.bl};
        const bool uniform = a.r == a.g && a.g == a.bl;
        const size_t stride = reference::stride<S>(3, w);
        for (int32_t y = 0; y < h; ++y)
          for (int32_t x = 0; x < w; ++x) {
            if (!uniform && (x < 2 || y < 2 || x >= w - 2 || y >= h - 2)) continue;
            for (int ch = 0; ch < 3; ++ch)
              ASSERT_EQ(out[y * stride + x * 3 + ch], want[ch])
                  << name(a.m) << " b" << b << " at " << x << "," << y << " channel " << ch;
          }
      };
      if (a.bits == 8)
        check(uint8_t{});
      else
        check(uint16_t{});
    }
}

// PPG's green at a red site goes east (the only flat direction) and comes out negative:
// (3 x 0 + 0 + 0 - 200) / 4 = -50 is written as 0, not as a wrapped byte.
TEST(KernelsDemosaicVngPpg, PpgGreenBelowZeroIsZero) {
  const int32_t w = 9, h = 9, x = 4, y = 4;  // order 1: (even, even) is red
  std::vector<uint8_t> raw(size_t(w) * h, 0);
  auto at = [&](int32_t dx, int32_t dy) -> uint8_t& { return raw[size_t(y + dy) * w + x + dx]; };
  at(2, 0) = 200;
  at(0, -2) = at(0, 2) = at(-2, 0) = 255;
  const Guarded<uint8_t> out = run<uint8_t>({Method::Ppg, w, h, 1, false, true, 3, 8}, raw);
  EXPECT_EQ(out[y * reference::stride<uint8_t>(3, w) + x * 3 + 1], 0);
}

// What the kernels refuse leaves the output untouched; a 4-pixel side is border fill only.
TEST(KernelsDemosaicVngPpg, RefusedInputsWriteNothing) {
  auto notBayer = testkit::siteTable(false);
  notBayer[4 * 1 + 1] = 0;  // order 1 with two red sites and one green
  const auto site = testkit::siteTable(false);
  struct Refusal {
    const char* what;
    const uint8_t* site;
    uint32_t b;
    int32_t w, h;
    uint8_t p;
  };
  const Refusal refusals[] = {
      {"no site table", nullptr, 1, 9, 9, 3},     {"not a Bayer cell", notBayer.data(), 1, 9, 9, 3},
      {"order 4", site.data(), 4, 9, 9, 3},       {"two samples a pixel", site.data(), 1, 9, 9, 2},
      {"three columns", site.data(), 1, 3, 9, 3}, {"three rows", site.data(), 1, 9, 3, 3},
  };
  for (Method m : {Method::Vng, Method::Ppg})
    for (const Refusal& r : refusals) {
      const auto raw = testkit::rawFrame<uint8_t>(Pattern::Random, r.w, r.h, 255, 5);
      Guarded<uint8_t> out(reference::stride<uint8_t>(4, r.w) * r.h);
      const Guarded<uint8_t> before = out;
      member<uint8_t>(m, false)(r.b, r.site, r.w, r.h, raw.data(), out.data(), 8, r.p, 1);
      EXPECT_TRUE(out == before) << name(m) << ": " << r.what;
    }
  for (Method m : {Method::Vng, Method::Ppg}) {
    const auto raw = testkit::rawFrame<uint8_t>(Pattern::Random, 4, 7, 255, 6);
    Guarded<uint8_t> out(reference::stride<uint8_t>(3, 4) * 7), border = out;
    member<uint8_t>(m, false)(2, site.data(), 4, 7, raw.data(), out.data(), 8, 3, 0);
    DemosaicBorder8(2, site.data(), raw.data(), border.data(), 4, 7, 8, 3, 0);
    EXPECT_TRUE(out == border) << name(m);
  }
}

}  // namespace
}  // namespace kernels
