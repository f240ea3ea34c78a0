// Colour adjustment: Q14 colour matrix, tone table, or luma for mono, chosen once per stripe.
#include <algorithm>

#include "kernels/adjust_color.h"
#include "kernels/colour_steps.h"
#include "kernels/dispatch.h"

namespace kernels {
namespace {

enum class ColourCase { None, Matrix, Tone, MatrixTone, MonoTone, MonoHue, MonoPlain };

template <typename Sample>
ColourCase chooseCase(const ColourAdjust<Sample>& a) {
  const bool toneNeutral = a.contrast == 0 && a.gamma == 100 && a.brightness == 0;
  const bool colourNeutral = !a.matrixOn && a.hue == 0 && a.saturation == 128;
  if (!a.hwColour) {
    if (a.mono)
      return a.hue == 0 && a.saturation == 128 ? ColourCase::MonoTone : ColourCase::MonoHue;
    if (toneNeutral) return colourNeutral ? ColourCase::None : ColourCase::Matrix;
    return colourNeutral ? ColourCase::Tone : ColourCase::MatrixTone;
  }
  if (!a.swTone) return a.mono ? ColourCase::MonoPlain : ColourCase::None;
  return a.mono ? ColourCase::MonoTone : ColourCase::Tone;
}

template <typename Sample, typename Order>
struct Pixel {
  const ColourAdjust<Sample>& a;
  uint32_t max;

  // Output channel o of the matrix: 64-bit products and sum, floor of / 16384, clamped.
  uint32_t matrix(int o, Sample r, Sample g, Sample b) const {
    const int64_t sum = int64_t{r} * a.coef[3 * o] + int64_t{g} * a.coef[3 * o + 1] +
                        int64_t{b} * a.coef[3 * o + 2];
    return static_cast<uint32_t>(std::clamp<int64_t>(sum >> 14, 0, max));
  }
  uint32_t luma(const Sample* px) const {
    return static_cast<uint32_t>(a.lumaR[px[Order::kRed]] + a.lumaG[px[1]] +
                                 a.lumaB[px[Order::kBlue]]);
  }
  void set(Sample* px, uint32_t r, uint32_t g, uint32_t b) const {
    px[Order::kRed] = static_cast<Sample>(r), px[1] = static_cast<Sample>(g);
    px[Order::kBlue] = static_cast<Sample>(b);
  }
  template <ColourCase C>
  void apply(Sample* px) const {
    const Sample r = px[Order::kRed], g = px[1], b = px[Order::kBlue];
    if constexpr (C == ColourCase::Matrix) {
      set(px, matrix(0, r, g, b), matrix(1, r, g, b), matrix(2, r, g, b));
    } else if constexpr (C == ColourCase::MatrixTone) {
      set(px, a.tone[matrix(0, r, g, b)], a.tone[matrix(1, r, g, b)], a.tone[matrix(2, r, g, b)]);
    } else if constexpr (C == ColourCase::Tone) {
      set(px, a.tone[r], a.tone[g], a.tone[b]);
    } else if constexpr (C == ColourCase::MonoTone) {
      const uint32_t v = a.tone[std::min(luma(px), max)];
      set(px, v, v, v);
    } else if constexpr (C == ColourCase::MonoPlain) {
      const uint32_t v = std::min(luma(px), max);
      set(px, v, v, v);
    } else if constexpr (C == ColourCase::MonoHue) {
      const double Y = luma(px);
      const double y = Y * a.hueSat[0] + Y * a.hueSat[1] + Y * a.hueSat[2];
      const uint32_t v = a.tone[y > max ? max : (y < 0.0 ? 0u : static_cast<uint32_t>(y))];
      set(px, v, v, v);
    }
  }
};

using RowFn = int32_t (*)(const colour::Row8&, uint8_t*, int32_t);

template <ColourCase C>
RowFn chooseRow(Isa isa) {
  if (isa != Isa::Avx2) return nullptr;
  if constexpr (C == ColourCase::Matrix)
    return &colour::matrixRowAvx2;
  else if constexpr (C == ColourCase::MatrixTone)
    return &colour::matrixToneRowAvx2;
  else
    return &colour::toneRowAvx2;
}
DispatchPointer<RowFn> gMatrixRow{&chooseRow<ColourCase::Matrix>};
DispatchPointer<RowFn> gMatrixToneRow{&chooseRow<ColourCase::MatrixTone>};
DispatchPointer<RowFn> gToneRow{&chooseRow<ColourCase::Tone>};

// The vector body for 8-bit samples and this case, its matrix turned into memory positions and
// its tone table widened; null when there is none or a coefficient could overflow a lane.
template <typename Sample, typename Order, ColourCase C>
RowFn vectorRow(const ColourAdjust<Sample>& a, int32_t width, colour::Row8& k, uint32_t* tone) {
  constexpr bool kMatrix = C == ColourCase::Matrix || C == ColourCase::MatrixTone;
  constexpr bool kTone = C == ColourCase::Tone || C == ColourCase::MatrixTone;
  if constexpr (sizeof(Sample) != 1 || !(kMatrix || kTone)) {
    return nullptr;
  } else {
    // Narrow rows never reach a block: skip the table set-up.
    if (width < 10) return nullptr;
    RowFn fn = C == ColourCase::Matrix
                   ? gMatrixRow.get()
                   : (C == ColourCase::MatrixTone ? gMatrixToneRow.get() : gToneRow.get());
    if (!fn) return nullptr;
    k.p = a.p;
    if constexpr (kMatrix) {
      const int colourAt[3] = {Order::kRed == 0 ? 0 : 2, 1, Order::kRed == 0 ? 2 : 0};
      for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
          const int32_t c = a.coef[3 * colourAt[i] + colourAt[j]];
          if (c < -colour::kMaxLaneCoef || c > colour::kMaxLaneCoef) return nullptr;
          k.coef[3 * i + j] = c;
        }
    }
    if constexpr (kTone)
      for (uint32_t v = 0; v < 256; ++v) tone[v] = a.tone[v];
    return fn;
  }
}

template <typename Sample, typename Order, ColourCase C>
void adjustRows(const ColourAdjust<Sample>& a, Sample* stripe, int32_t width, int32_t rows) {
  const Pixel<Sample, Order> pixel{a, sampleMax<Sample>(a.bits)};
  const size_t stride = rowStride<Sample>(a.p, width);
  uint32_t tone[256];
  colour::Row8 k{{}, tone, pixel.max, 3};
  const RowFn vec = vectorRow<Sample, Order, C>(a, width, k, tone);
  for (int32_t y = 0; y < rows; ++y) {
    Sample* row = stripe + size_t(y) * stride;
    int32_t x = 0;
    if constexpr (sizeof(Sample) == 1)
      if (vec) x = vec(k, row, width);
    Sample* px = row + size_t(x) * a.p;
    for (; x < width; ++x, px += a.p) pixel.template apply<C>(px);
  }
}

template <typename Sample>
bool readable(const ColourAdjust<Sample>& a, ColourCase c) {
  const bool luma = a.lumaR && a.lumaG && a.lumaB;
  switch (c) {
    case ColourCase::Matrix:
      return a.coef;
    case ColourCase::MatrixTone:
      return a.coef && a.tone;
    case ColourCase::Tone:
      return a.tone;
    case ColourCase::MonoTone:
      return luma && a.tone;
    case ColourCase::MonoHue:
      return luma && a.tone && a.hueSat;
    case ColourCase::MonoPlain:
      return luma;
    default:
      return false;
  }
}

template <typename Sample, typename Order>
void adjustColor(const ColourAdjust<Sample>& a, Sample* stripe, int32_t width, int32_t rows) {
  if (!stripe || width < 1 || rows < 1 || !colourPixel(a.p)) return;
  const ColourCase c = chooseCase(a);
  if (!readable(a, c)) return;
  switch (c) {
    case ColourCase::Matrix:
      return adjustRows<Sample, Order, ColourCase::Matrix>(a, stripe, width, rows);
    case ColourCase::MatrixTone:
      return adjustRows<Sample, Order, ColourCase::MatrixTone>(a, stripe, width, rows);
    case ColourCase::Tone:
      return adjustRows<Sample, Order, ColourCase::Tone>(a, stripe, width, rows);
    case ColourCase::MonoTone:
      return adjustRows<Sample, Order, ColourCase::MonoTone>(a, stripe, width, rows);
    case ColourCase::MonoHue:
      return adjustRows<Sample, Order, ColourCase::MonoHue>(a, stripe, width, rows);
    case ColourCase::MonoPlain:
      return adjustRows<Sample, Order, ColourCase::MonoPlain>(a, stripe, width, rows);
    case ColourCase::None:
      return;
  }
}

}  // namespace

void AdjustColorBgr(const ColourAdjust<uint8_t>& a, uint8_t* stripe, int32_t width, int32_t rows) {
  adjustColor<uint8_t, Bgr>(a, stripe, width, rows);
}
void AdjustColorRgb(const ColourAdjust<uint8_t>& a, uint8_t* stripe, int32_t width, int32_t rows) {
  adjustColor<uint8_t, Rgb>(a, stripe, width, rows);
}
void AdjustColor16Bgr(const ColourAdjust<uint16_t>& a, uint16_t* stripe, int32_t width,
                      int32_t rows) {
  adjustColor<uint16_t, Bgr>(a, stripe, width, rows);
}
void AdjustColor16Rgb(const ColourAdjust<uint16_t>& a, uint16_t* stripe, int32_t width,
                      int32_t rows) {
  adjustColor<uint16_t, Rgb>(a, stripe, width, rows);
}

}  // namespace kernels
