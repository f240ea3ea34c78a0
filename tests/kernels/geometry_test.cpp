// Mirror, flip and turns: involutions, the turn anchors, padding and capacity refusals.
#include <gtest/gtest.h>

#include <tuple>

#include "kernels/geometry.h"
#include "kernels/output.h"
#include "kernels/reference/output_reference.h"
#include "tests/kernels/kit.h"

namespace kernels {
namespace {

using testkit::Guarded;

// The last two cross the quarter turns' tiles on both sides.
constexpr std::pair<int32_t, int32_t> kSizes[] = {{1, 1}, {5, 1},   {1, 5}, {5, 2},    {7, 3},
                                                  {6, 4}, {33, 17}, {2, 9}, {131, 11}, {9, 130}};
constexpr uint8_t kPixelSizes[] = {1, 3, 4};

template <typename S>
Guarded<S> randomFrame(size_t samples, uint64_t seed) {
  Guarded<S> f(samples);
  testkit::Rng rng(seed);
  for (size_t i = 0; i < f.size(); ++i) f[i] = S(rng.next());
  return f;
}

inline void flipImage(int32_t f, int32_t w, int32_t h, uint8_t* d, uint8_t p) {
  FlipImage8(f, w, h, d, p);
}
inline void flipImage(int32_t f, int32_t w, int32_t h, uint16_t* d, uint8_t p) {
  FlipImage16(f, w, h, d, p);
}
inline void half(int32_t w, int32_t h, uint8_t* d, uint8_t p) {
  Rotate180_8(w, h, d, p);
}
inline void half(int32_t w, int32_t h, uint16_t* d, uint8_t p) {
  Rotate180_16(w, h, d, p);
}
inline bool turn(bool ccw, uint8_t* f, size_t n, RotateScratch s, int32_t w, int32_t h, uint8_t p) {
  return ccw ? RotateCcw8(f, n, s, w, h, p) : RotateCw8(f, n, s, w, h, p);
}
inline bool turn(bool ccw, uint16_t* f, size_t n, RotateScratch s, int32_t w, int32_t h,
                 uint8_t p) {
  return ccw ? RotateCcw16(f, n, s, w, h, p) : RotateCw16(f, n, s, w, h, p);
}

// Mirrors (f 1..3) or the half turn (f 0) of a frame at `offset` against the reference, then
// undone by themselves, padding included.
template <typename S>
void involutions(int32_t w, int32_t h, uint8_t p, size_t offset, Isa isa) {
  const size_t n = rowStride<S>(p, w) * h;
  const Guarded<S> orig = randomFrame<S>(n + offset, w * 31 + h * 7 + p + offset);
  const std::string at = std::string(testkit::isaName(isa)) + " " + std::to_string(w) + "x" +
                         std::to_string(h) + " p" + std::to_string(p) + " +" +
                         std::to_string(offset) + " bytes " + std::to_string(sizeof(S));
  auto apply = [&](int32_t f, S* d) { f ? flipImage(f, w, h, d, p) : half(w, h, d, p); };
  for (int32_t f : {0, 1, 2, 3}) {
    Guarded<S> img = orig, want = orig;
    apply(f, img.data() + offset);
    if (f)
      reference::flip<S>(f, w, h, want.data() + offset, p);
    else
      reference::halfTurn<S>(w, h, want.data() + offset, p);
    EXPECT_TRUE(img == want) << at << " flip " << f;
    apply(f, img.data() + offset);
    EXPECT_TRUE(img == orig) << at << " twice " << f;
  }
}

// Every instruction set; widths either side of the 16-pixel vector blocks (and of 64-byte row
// blocks), at odd frame offsets; 16-bit rows trade places through the same byte blocks.
TEST(KernelsGeometry, MirrorFlipHalfTurnMatchReferenceAndUndoThemselves) {
  for (Isa isa : testkit::availableIsas()) {
    testkit::IsaScope scope(isa);
    for (uint8_t p : kPixelSizes) {
      for (auto [w, h] : kSizes) {
        involutions<uint8_t>(w, h, p, 0, isa);
        involutions<uint16_t>(w, h, p, 0, isa);
      }
      for (int32_t w : {15, 16, 17, 31, 32, 33, 47, 48, 63, 65, 97, 129, 203})
        for (int32_t h : {1, 2, 3, 5})
          for (size_t offset : {0, 1, 3}) involutions<uint8_t>(w, h, p, offset, isa);
      for (int32_t w : {7, 32, 33}) involutions<uint16_t>(w, 5, p, 0, isa);
    }
  }
}

template <typename S>
void quarterTurns() {
  std::vector<uint8_t> scratch(1 << 16);
  const RotateScratch s{scratch.data(), scratch.size()};
  for (auto [w, h] : kSizes)
    for (uint8_t p : kPixelSizes) {
      const size_t n = turnedFrameBytes<S>(w, h, p) / sizeof(S);
      const Guarded<S> orig = randomFrame<S>(n, w * 7 + h + p);
      const std::string at = std::to_string(w) + "x" + std::to_string(h) + " p" + std::to_string(p);
      for (bool ccw : {true, false}) {
        Guarded<S> img = orig, want = orig;
        ASSERT_TRUE(turn(ccw, img.data(), n * sizeof(S), s, w, h, p)) << at;
        reference::quarterTurn<S>(ccw, want.data(), w, h, p);
        EXPECT_TRUE(img == want) << at << " ccw " << ccw;
        EXPECT_TRUE(img.guardsIntact());
        // New row 0 starts with the last pixel of memory row 0 (ccw) or the first of the last row
        // (cw).
        const size_t from = ccw ? size_t(w - 1) * p : rowStride<S>(p, w) * (h - 1);
        for (int c = 0; c < p; ++c) EXPECT_EQ(img[c], orig[from + c]) << at;
        // The opposite turn restores every pixel (not the padding).
        ASSERT_TRUE(turn(!ccw, img.data(), n * sizeof(S), s, h, w, p));
        const size_t R = rowStride<S>(p, w);
        for (int32_t y = 0; y < h; ++y)
          for (size_t i = 0; i < size_t(w) * p; ++i)
            ASSERT_EQ(img[y * R + i], orig[y * R + i]) << at;
      }
    }
}

TEST(KernelsGeometry, QuarterTurnsMatchReferenceAnchorsAndUndo) {
  quarterTurns<uint8_t>();
  quarterTurns<uint16_t>();
}

TEST(KernelsGeometry, ShortFrameOrScratchIsRefusedUntouched) {
  for (auto [w, h] : {std::pair{5, 2}, std::pair{3, 7}}) {
    const size_t need = turnedFrameBytes<uint8_t>(w, h, 3),
                 copy = rotateScratchBytes<uint8_t>(w, h, 3);
    std::vector<uint8_t> scratch(copy);
    const Guarded<uint8_t> orig = randomFrame<uint8_t>(need, 5);
    for (auto [frameBytes, scratchBytes] :
         {std::pair{need - 1, copy}, std::pair{need, copy - 1}, std::pair{need, size_t{0}}}) {
      Guarded<uint8_t> img = orig;
      EXPECT_FALSE(RotateCw8(img.data(), frameBytes,
                             {scratchBytes ? scratch.data() : nullptr, scratchBytes}, w, h, 3));
      EXPECT_FALSE(RotateCcw8(img.data(), frameBytes, {scratch.data(), scratchBytes}, w, h, 3));
      EXPECT_TRUE(img == orig);
    }
  }
}

}  // namespace
}  // namespace kernels
