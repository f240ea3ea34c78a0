// Vignette correction: each pixel's luma times the gain of its radius, colour difference kept.
#include "kernels/colour_steps.h"

namespace kernels {
namespace {

// A real result as a sample: above max gives max, below 0 gives 0, else truncated.
inline uint32_t toSample(double v, uint32_t max) {
  if (v > max) return max;
  if (v < 0.0) return 0;
  return static_cast<uint32_t>(v);
}

template <typename Sample, typename Order>
void applyVignette(uint8_t p, Sample* stripe, int32_t width, int32_t rows, const int32_t* radius,
                   const double* gain, uint32_t gainCount, uint8_t bits) {
  if (!stripe || !radius || !gain || gainCount == 0 || width < 1 || rows < 1) return;
  if (!(p == 1 || colourPixel(p))) return;
  // One sample a pixel is the grey pixel (v, v, v): it reads v three times and keeps what the
  // colour pixel's first byte would get.
  const bool grey = p == 1;
  const size_t ri = grey ? 0 : Order::kRed, gi = grey ? 0 : 1, bi = grey ? 0 : Order::kBlue;
  const size_t stride = rowStride<Sample>(p, width);
  const uint32_t max = sampleMax<Sample>(bits);
  const int32_t last = static_cast<int32_t>(gainCount - 1);
  for (int32_t y = 0; y < rows; ++y, radius += width) {
    Sample* px = stripe + size_t(y) * stride;
    for (int32_t x = 0; x < width; ++x, px += p) {
      const int32_t r = radius[x] < 0 ? 0 : (radius[x] > last ? last : radius[x]);
      const double g = gain[r];
      const double a = 0.29901792 * g, b = 0.58697404 * g, c = 0.11399476 * g, k = 18.6304 * g;
      const double R = px[ri], G = px[gi], B = px[bi];
      const double r2 = (a + 0.70096) * R + (b - 0.58701) * G + (c - 0.11395) * B + k - 18.634;
      const double g2 = (a - 0.299) * R + (b + 0.41304) * G + (c - 0.11403) * B + k - 18.639;
      const double b2 = (a - 0.29895) * R + (b - 0.58701) * G + (c + 0.88595) * B + k - 18.635;
      if (grey) {
        px[0] = static_cast<Sample>(toSample(Order::kRed == 0 ? r2 : b2, max));
        continue;
      }
      px[Order::kRed] = static_cast<Sample>(toSample(r2, max));
      px[1] = static_cast<Sample>(toSample(g2, max));
      px[Order::kBlue] = static_cast<Sample>(toSample(b2, max));
    }
  }
}

}  // namespace

void ApplyVignetteBgr(uint8_t p, uint8_t* stripe, int32_t width, int32_t rows,
                      const int32_t* radius, const double* gain, uint32_t gainCount, uint8_t bits) {
  applyVignette<uint8_t, Bgr>(p, stripe, width, rows, radius, gain, gainCount, bits);
}
void ApplyVignetteRgb(uint8_t p, uint8_t* stripe, int32_t width, int32_t rows,
                      const int32_t* radius, const double* gain, uint32_t gainCount, uint8_t bits) {
  applyVignette<uint8_t, Rgb>(p, stripe, width, rows, radius, gain, gainCount, bits);
}
void ApplyVignette16Bgr(uint8_t p, uint16_t* stripe, int32_t width, int32_t rows,
                        const int32_t* radius, const double* gain, uint32_t gainCount,
                        uint8_t bits) {
  applyVignette<uint16_t, Bgr>(p, stripe, width, rows, radius, gain, gainCount, bits);
}
void ApplyVignette16Rgb(uint8_t p, uint16_t* stripe, int32_t width, int32_t rows,
                        const int32_t* radius, const double* gain, uint32_t gainCount,
                        uint8_t bits) {
  applyVignette<uint16_t, Rgb>(p, stripe, width, rows, radius, gain, gainCount, bits);
}

}  // namespace kernels
