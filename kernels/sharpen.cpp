// Unsharp mask: the Gaussian rows, the separable blur with cut-off edges, and the apply step.
#include "kernels/sharpen.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include "kernels/dispatch.h"
#include "kernels/kernel_base.h"
#include "kernels/sharpen_line.h"

namespace kernels {
namespace {

// exp(-d^2 / (2 sigma^2)) for n = 9, 11, .. 21 at d = 0 .. n / 2, sigma = ((n - 1) / 2 - 1) *
// 0.3 + 0.8, the argument formed in double as -(d * d) / (2 * sigma * sigma). Stored so both
// toolchains see the same bits (their exp differ); made with Python's decimal module at 60
// digits, exp of the double argument, rounded once to the nearest double.
// clang-format off
constexpr double kGaussExp[7][kMaxSharpenRadius + 1] = {
    {0x1.0000000000000p+0, 0x1.aea871eb7bdddp-1, 0x1.0048801f77e22p-1, 0x1.af9c82485e6d1p-3, 0x1.01227bc70e967p-4, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0},  // n = 9
    {0x1.0000000000000p+0, 0x1.c3d6a24ed8222p-1, 0x1.368b2fc6f960ap-1, 0x1.4c71b2477ab20p-2, 0x1.152aaa3bf81ccp-3, 0x1.67ee6d9ff847cp-5, 0.0, 0.0, 0.0, 0.0, 0.0},  // n = 11
    {0x1.0000000000000p+0, 0x1.d1d2cc9c37780p-1, 0x1.5ed014a960393p-1, 0x1.b562272ffe4d2p-2, 0x1.c363d5495fb49p-3, 0x1.819b3e335dd6ap-4, 0x1.10abd6d069e4fp-5, 0.0, 0.0, 0.0, 0.0},  // n = 13
    {0x1.0000000000000p+0, 0x1.db7f2d87ccf6ep-1, 0x1.7cdf8d2b34793p-1, 0x1.072101c11d4e4p-1, 0x1.39934da623ad1p-2, 0x1.424ec2e8d0522p-3, 0x1.1dbaa86f150fbp-4, 0x1.b4f11e98e65d2p-6, 0.0, 0.0, 0.0},  // n = 15
    {0x1.0000000000000p+0, 0x1.e2727f1ebe3b7p-1, 0x1.93a2b6d65a99bp-1, 0x1.2bd6e98fff7d1p-1, 0x1.8b87575a70fd4p-2, 0x1.cf431f06516a5p-3, 0x1.e1c3e8f67628fp-4, 0x1.bcd70d5d80d0ap-5, 0x1.6cb26510123ddp-6, 0.0, 0.0},  // n = 17
    {0x1.0000000000000p+0, 0x1.e799bcd421824p-1, 0x1.a528e2e1d9f0ap-1, 0x1.49ed51a6121a6p-1, 0x1.d4d244cf4ea9fp-2, 0x1.2e1a6b4f64a4cp-2, 0x1.611e969df99cap-3, 0x1.76594c65016cdp-4, 0x1.67ee6d9ff847ep-5, 0x1.39df00a18e7dbp-6, 0.0},  // n = 19
    {0x1.0000000000000p+0, 0x1.eb85d54c9b39cp-1, 0x1.b2e0138900a22p-1, 0x1.6298724b59299p-1, 0x1.0a787031f7607p-1, 0x1.7119399fc5cc8p-2, 0x1.d72cfff0b8a9dp-3, 0x1.152aaa3bf81ccp-3, 0x1.2c85a7d256887p-4, 0x1.2c4d7c6a67aa7p-5, 0x1.148f5d9846cd8p-6},  // n = 21
};
// clang-format on

// The fixed rows up to 7 taps as integers over 2^shift: exact, and the doubles they give.
struct DyadicRow {
  int32_t tap[7];
  int32_t shift;
};
constexpr DyadicRow kDyadic[4] = {
    {{1}, 0}, {{1, 2, 1}, 2}, {{1, 4, 6, 4, 1}, 4}, {{4, 14, 28, 36, 28, 14, 4}, 7}};

// A cut-off window at position i of a line of `count` positions, one channel: both sums in
// double in tap order, rounded half up.
template <typename Sample>
Sample cutWindow(const Sample* at, const double* k, int32_t r, int32_t i, int32_t count,
                 ptrdiff_t step) {
  const int32_t lo = std::max(-r, -i), hi = std::min(r, count - 1 - i);
  double num = 0, den = 0;
  for (int32_t j = lo; j <= hi; ++j) {
    num += k[j + r] * double(at[j * step]);
    den += k[j + r];
  }
  return static_cast<Sample>(int64_t(num / den + 0.5));
}

template <typename Sample>
void blurLineScalar(const BlurLine<Sample>& l, int32_t i) {
  const int32_t r = l.taps / 2;
  for (; i < l.end; ++i) {
    const Sample* s = l.src + i - r * l.tapStep;
    if (l.itap) {
      int32_t sum = 1 << l.shift >> 1;
      for (int32_t j = 0; j < l.taps; ++j) sum += l.itap[j] * int32_t(s[j * l.tapStep]);
      l.dst[i] = static_cast<Sample>(sum >> l.shift);
    } else {
      double num = 0;
      for (int32_t j = 0; j < l.taps; ++j) num += l.k[j] * double(s[j * l.tapStep]);
      l.dst[i] = static_cast<Sample>(int64_t(num / l.den + 0.5));
    }
  }
}

// The vector body of a blur line or an apply row, where AVX2 runs.
template <template <typename> class Line, typename Sample>
using BodyFn = int32_t (*)(const Line<Sample>&, int32_t);
template <template <typename> class Line, typename Sample>
BodyFn<Line, Sample> chooseBody(Isa isa) {
  return isa == Isa::Avx2 ? static_cast<BodyFn<Line, Sample>>(&sharpenLineAvx2) : nullptr;
}
template <template <typename> class Line, typename Sample>
DispatchPointer<BodyFn<Line, Sample>> gBody{&chooseBody<Line, Sample>};
template <typename Sample>
using LineFn = BodyFn<BlurLine, Sample>;

template <typename Sample>
void runLine(const BlurLine<Sample>& l, int32_t i, LineFn<Sample> vec) {
  blurLineScalar(l, vec && i < l.end ? vec(l, i) : i);
}

// Separable blur. Full windows run as flat lines of samples (every sample of a pixel blurred,
// so only when a pixel is all channels); cut-off windows one channel at a time.
template <typename Sample>
void blur(const Sample* src, Sample* dst, Sample* temp, uint8_t p, int32_t w, int32_t h, int32_t n,
          int channels) {
  if (!src || !dst || !temp || p < 1 || p > 4 || w < 1 || h < 1) return;
  if (n < 1 || n > kMaxGaussianTaps || (n & 1) == 0) return;
  double k[kMaxGaussianTaps];
  BuildGaussianKernel(k, n);
  const int32_t r = n / 2;
  double den = 0;
  for (int32_t j = 0; j < n; ++j) den += k[j];
  const int32_t* itap = r <= 3 ? kDyadic[r].tap : nullptr;
  const int32_t shift = r <= 3 ? kDyadic[r].shift : 0;
  const ptrdiff_t stride = ptrdiff_t(rowStride<Sample>(p, w));
  const bool flatRows = channels == p && w > 2 * r;
  const LineFn<Sample> vec = gBody<BlurLine, Sample>.get();
  auto cut = [&](const Sample* from, Sample* to, int32_t i, int32_t count, ptrdiff_t step) {
    for (int c = 0; c < channels; ++c) to[c] = cutWindow(from + c, k, r, i, count, step);
  };
  for (int32_t y = 0; y < h; ++y) {
    const Sample* s = src + y * stride;
    Sample* t = temp + y * stride;
    for (int32_t x = 0; x < w; ++x) {
      if (flatRows && x == r) {
        runLine<Sample>({s, t, p, n, itap, shift, k, den, (w - r) * p}, r * p, vec);
        x = w - r - 1;
        continue;
      }
      cut(s + x * p, t + x * p, x, w, p);
    }
  }
  for (int32_t y = 0; y < h; ++y) {
    const Sample* t = temp + y * stride;
    Sample* d = dst + y * stride;
    if (channels == p && y >= r && y < h - r) {
      runLine<Sample>({t, d, stride, n, itap, shift, k, den, w * p}, 0, vec);
      continue;
    }
    for (int32_t x = 0; x < w; ++x) cut(t + x * p, d + x * p, y, h, stride);
  }
}

template <typename Sample>
void unsharpLineScalar(const UnsharpLine<Sample>& l, int32_t i) {
  for (; i < l.end; ++i) {
    if (l.keepFourth && (i & 3) == 3) continue;
    const int32_t c = l.copy[i], d = c - l.blurred[i];
    const int64_t v = std::abs(d) <= l.threshold ? c : c + int64_t(d) * l.amount / 100;
    l.frame[i] = static_cast<Sample>(std::clamp<int64_t>(v, 0, l.max));
  }
}

// Rows as flat runs of samples: every sample a colour one (p = channels), or the fourth kept.
template <typename Sample>
void apply(const Sample* copy, Sample* frame, const Sample* blurred, uint8_t p, int channels,
           uint8_t bits, int32_t w, int32_t h, int32_t amount, int32_t threshold) {
  const size_t stride = rowStride<Sample>(p, w);
  const int32_t max = int32_t(sampleMax<Sample>(bits));
  const auto vec = gBody<UnsharpLine, Sample>.get();
  for (int32_t y = 0; y < h; ++y) {
    const size_t at = y * stride;
    const UnsharpLine<Sample> l{copy + at, frame + at, blurred + at, amount,
                                threshold, max,        w * p,        channels != p};
    unsharpLineScalar(l, vec ? vec(l, 0) : 0);
  }
}

// Mono, or three colour samples and perhaps a fourth: two samples a pixel have no colour triple.
bool sharpenable(uint8_t p) {
  return p == 1 || p == 3 || p == 4;
}

bool validRadius(int32_t radius) {
  return radius >= 1 && radius <= kMaxSharpenRadius;
}

template <typename Sample>
void unsharpApply(const Sample* copy, Sample* frame, Sample* blurred, Sample* temp, uint8_t p,
                  int channels, uint8_t bits, int32_t w, int32_t h, int32_t amount, int32_t radius,
                  int32_t threshold) {
  if (!copy || !frame || !blurred || !temp || p < 1 || p > 4 || w < 1 || h < 1) return;
  if (!validRadius(radius) || amount <= 0) return;
  blur(copy, blurred, temp, p, w, h, 2 * radius + 1, channels);
  apply(copy, frame, blurred, p, channels, bits, w, h, amount, threshold);
}

template <typename Sample>
bool sharpen(SharpenScratch<Sample>& s, Sample* frame, int32_t w, int32_t h, uint8_t p,
             uint8_t bits, int32_t amount, int32_t radius, int32_t threshold) {
  if (amount <= 0 || !validRadius(radius) || !frame || w < 1 || h < 1 || !sharpenable(p))
    return true;
  const uint64_t samples = uint64_t(rowStride<Sample>(p, w)) * uint64_t(h);
  if (s.samples() < samples) return false;
  std::memcpy(s.copy.data(), frame, samples * sizeof(Sample));
  unsharpApply(s.copy.data(), frame, s.blurred.data(), s.temp.data(), p, p == 1 ? 1 : 3, bits, w, h,
               amount, radius, threshold);
  return true;
}

}  // namespace

template <typename Sample>
bool SharpenScratch<Sample>::reserve(uint64_t n) {
  if (n <= samples()) return true;
  if (n > kMaxBytes / sizeof(Sample) / 3) return false;
  try {
    for (auto* v : {&copy, &blurred, &temp}) v->resize(size_t(n));
  } catch (const std::bad_alloc&) {
    copy.clear(), blurred.clear(), temp.clear();
    return false;
  }
  return true;
}
template class SharpenScratch<uint8_t>;
template class SharpenScratch<uint16_t>;

double GaussianExpConstant(int32_t n, int32_t d) {
  if (n < 9 || n > kMaxGaussianTaps || (n & 1) == 0 || d < 0 || d > n / 2) return 0;
  return kGaussExp[(n - 9) / 2][d];
}

void BuildGaussianKernel(double* out, int32_t n) {
  if (!out || n < 1 || n > kMaxGaussianTaps || (n & 1) == 0) return;
  const int32_t r = n / 2;
  for (int32_t i = 0; i < n; ++i)
    out[i] = r <= 3 ? std::ldexp(double(kDyadic[r].tap[i]), -kDyadic[r].shift)
                    : kGaussExp[(n - 9) / 2][std::abs(i - r)];
  double sum = 0;
  for (int32_t i = 0; i < n; ++i) sum += out[i];
  const double scale = 1.0 / sum;
  for (int32_t i = 0; i < n; ++i) out[i] *= scale;
}

void GaussianBlurMono8(const uint8_t* src, uint8_t* dst, uint8_t* temp, uint8_t p, int32_t w,
                       int32_t h, int32_t n) {
  blur(src, dst, temp, p, w, h, n, 1);
}
void GaussianBlurMono16(const uint16_t* src, uint16_t* dst, uint16_t* temp, uint8_t p, int32_t w,
                        int32_t h, int32_t n) {
  blur(src, dst, temp, p, w, h, n, 1);
}
void GaussianBlurRgb8(const uint8_t* src, uint8_t* dst, uint8_t* temp, uint8_t p, int32_t w,
                      int32_t h, int32_t n) {
  if (p >= 3) blur(src, dst, temp, p, w, h, n, 3);
}
void GaussianBlurRgb16(const uint16_t* src, uint16_t* dst, uint16_t* temp, uint8_t p, int32_t w,
                       int32_t h, int32_t n) {
  if (p >= 3) blur(src, dst, temp, p, w, h, n, 3);
}

void UnsharpApplyRgb8(const uint8_t* copy, uint8_t* frame, uint8_t* blurred, uint8_t* temp,
                      uint8_t p, uint8_t bits, int32_t w, int32_t h, int32_t amount, int32_t radius,
                      int32_t threshold) {
  if (p >= 3) unsharpApply(copy, frame, blurred, temp, p, 3, bits, w, h, amount, radius, threshold);
}
void UnsharpApplyRgb16(const uint16_t* copy, uint16_t* frame, uint16_t* blurred, uint16_t* temp,
                       uint8_t p, uint8_t bits, int32_t w, int32_t h, int32_t amount,
                       int32_t radius, int32_t threshold) {
  if (p >= 3) unsharpApply(copy, frame, blurred, temp, p, 3, bits, w, h, amount, radius, threshold);
}

bool Sharpen(SharpenScratch<uint8_t>& scratch, uint8_t* frame, int32_t w, int32_t h, uint8_t p,
             uint8_t bits, int32_t amount, int32_t radius, int32_t threshold) {
  return sharpen(scratch, frame, w, h, p, bits, amount, radius, threshold);
}
bool Sharpen16(SharpenScratch<uint16_t>& scratch, uint16_t* frame, int32_t w, int32_t h, uint8_t p,
               uint8_t bits, int32_t amount, int32_t radius, int32_t threshold) {
  return sharpen(scratch, frame, w, h, p, bits, amount, radius, threshold);
}

}  // namespace kernels
