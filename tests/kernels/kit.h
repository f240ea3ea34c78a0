// Test kit of the pixel kernels: seeded and structured frames, guarded output buffers, states.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "kernels/dispatch.h"
#include "base/pixel_formats.h"
#include "kernels/kernel_base.h"
#include "kernels/reference/reference.h"

namespace kernels::testkit {

// xorshift64*: the same numbers on every platform.
class Rng {
 public:
  explicit Rng(uint64_t seed) : s_(seed * 0x9E3779B97F4A7C15ull + 1) {}
  uint32_t next() {
    s_ ^= s_ >> 12, s_ ^= s_ << 25, s_ ^= s_ >> 27;
    return static_cast<uint32_t>((s_ * 0x2545F4914F6CDD1Dull) >> 32);
  }
  uint32_t below(uint32_t n) { return n ? next() % n : 0; }

 private:
  uint64_t s_;
};

enum class Pattern { Random, PerColour, Gradient, Checker, Spikes, AboveDepth };
inline constexpr Pattern kPatterns[] = {Pattern::Random,  Pattern::PerColour, Pattern::Gradient,
                                        Pattern::Checker, Pattern::Spikes,    Pattern::AboveDepth};

// A raw w x h frame of samples up to max (AboveDepth: some past it, up to the type's limit).
template <typename S>
std::vector<S> rawFrame(Pattern kind, int32_t w, int32_t h, uint32_t max, uint64_t seed) {
  Rng rng(seed);
  std::vector<S> f(size_t(w) * h);
  const uint32_t typeMax = sizeof(S) == 1 ? 255u : 65535u;
  const uint32_t perColour[2][2] = {{rng.below(max + 1), rng.below(max + 1)},
                                    {rng.below(max + 1), rng.below(max + 1)}};
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      uint32_t v = 0;
      switch (kind) {
        case Pattern::Random:
          v = rng.below(max + 1);
          break;
        case Pattern::PerColour:
          v = perColour[y & 1][x & 1];
          break;
        case Pattern::Gradient:
          v = uint32_t(uint64_t(x + 2 * y) * max / uint64_t(w + 2 * h));
          break;
        case Pattern::Checker:
          v = ((x + y) & 1) ? max : 0;
          break;
        case Pattern::Spikes:
          v = rng.below(23) == 0 ? max : rng.below(max / 16 + 1);
          break;
        case Pattern::AboveDepth:
          v = rng.below(4) == 0 ? max + rng.below(typeMax - max + 1) : rng.below(max + 1);
          break;
      }
      f[size_t(y) * w + x] = static_cast<S>(v);
    }
  return f;
}

// An output buffer pre-filled with a marker (padding and fourth samples must keep it), with
// canaries on both sides that no kernel may touch.
template <typename S>
class Guarded {
 public:
  static constexpr size_t kGuard = 64;
  static constexpr S kFill = sizeof(S) == 1 ? S(0xAB) : S(0xABAB);
  static constexpr S kCanary = sizeof(S) == 1 ? S(0x5C) : S(0x5C5C);
  // Test images stay far below 4 GiB; the bound also keeps the compiler's size analysis calm.
  explicit Guarded(size_t n)
      : buf_(std::min<size_t>(n, size_t{1} << 32) + 2 * kGuard, kCanary),
        n_(buf_.size() - 2 * kGuard) {
    std::fill_n(data(), n_, kFill);
  }
  S* data() { return buf_.data() + kGuard; }
  const S* data() const { return buf_.data() + kGuard; }
  size_t size() const { return n_; }
  bool guardsIntact() const {
    return std::all_of(buf_.begin(), buf_.begin() + kGuard, [](S v) { return v == kCanary; }) &&
           std::all_of(buf_.end() - kGuard, buf_.end(), [](S v) { return v == kCanary; });
  }
  bool operator==(const Guarded& o) const { return buf_ == o.buf_; }
  S& operator[](size_t i) { return data()[i]; }
  S operator[](size_t i) const { return data()[i]; }

 private:
  std::vector<S> buf_;
  size_t n_;
};

// A frame of one colour in DIB rows: the first three samples of each pixel from px.
template <typename S>
Guarded<S> uniformImage(uint8_t p, int32_t w, int32_t h, std::array<uint32_t, 3> px) {
  const size_t stride = reference::stride<S>(p, w);
  Guarded<S> img(stride * h);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      for (int c = 0; c < 3 && c < p; ++c) img[y * stride + x * p + c] = S(px[c]);
  return img;
}

// The instruction sets this processor can run, scalar first.
inline std::vector<Isa> availableIsas() {
  std::vector<Isa> isas{Isa::Scalar, Isa::Sse2};
  if (DetectedIsa() == Isa::Avx2) isas.push_back(Isa::Avx2);
  return isas;
}
inline const char* isaName(Isa isa) {
  return isa == Isa::Avx2 ? "avx2" : (isa == Isa::Sse2 ? "sse2" : "scalar");
}

// Restores the detected set when a test that forced one ends.
struct IsaScope {
  explicit IsaScope(Isa isa) { ForceIsa(isa); }
  ~IsaScope() { ForceIsa(Isa::Avx2); }
};

// Fixed luma weights for depths up to 16 bits: v x 0.299, 0.587, 0.114.
struct Luma {
  std::vector<double> r, g, b;
  Luma() : r(65536), g(65536), b(65536) {
    for (uint32_t v = 0; v < 65536; ++v) r[v] = v * 0.299, g[v] = v * 0.587, b[v] = v * 0.114;
  }
};

// The pipeline's site table of a byte order.
inline std::array<uint8_t, 16> siteTable(bool byteOrder) {
  return BuildColourSites(byteOrder).site;
}

}  // namespace kernels::testkit
