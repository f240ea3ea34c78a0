// Unsharp mask read literally: copy, blur along rows then columns with renormalised cut-off
// windows, then each sample past the threshold pushed away from its blur.
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "kernels/reference/reference.h"

namespace kernels::reference {

template <typename S>
void unsharp(const double* k, int32_t n, S* frame, int32_t w, int32_t h, uint8_t p, uint8_t bits,
             int32_t amount, int32_t threshold) {
  if (amount == 0) return;
  const size_t st = stride<S>(p, w);
  const int channels = p == 1 ? 1 : 3;
  const int32_t r = n / 2;
  const int32_t max = int32_t(sizeof(S) == 1 ? (255u >> (8 - bits)) : (65535u >> (16 - bits)));
  const std::vector<S> copy(frame, frame + st * h);
  std::vector<S> temp(copy.size()), blurred(copy.size());
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      for (int c = 0; c < channels; ++c) {
        double num = 0, den = 0;
        for (int32_t j = -r; j <= r; ++j) {
          if (x + j < 0 || x + j > w - 1) continue;
          num += k[j + r] * copy[y * st + (x + j) * p + c];
          den += k[j + r];
        }
        temp[y * st + x * p + c] = S(int64_t(num / den + 0.5));
      }
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      for (int c = 0; c < channels; ++c) {
        double num = 0, den = 0;
        for (int32_t j = -r; j <= r; ++j) {
          if (y + j < 0 || y + j > h - 1) continue;
          num += k[j + r] * temp[(y + j) * st + x * p + c];
          den += k[j + r];
        }
        blurred[y * st + x * p + c] = S(int64_t(num / den + 0.5));
      }
  for (size_t i = 0; i < copy.size(); ++i) {
    const size_t x = i % st;
    if (x >= size_t(w) * p || int(x % p) >= channels) continue;
    const int32_t d = int32_t(copy[i]) - blurred[i];
    const int64_t v = std::abs(d) > threshold ? copy[i] + int64_t(d) * amount / 100 : copy[i];
    frame[i] = S(std::clamp<int64_t>(v, 0, max));
  }
}

template void unsharp<uint8_t>(const double*, int32_t, uint8_t*, int32_t, int32_t, uint8_t, uint8_t,
                               int32_t, int32_t);
template void unsharp<uint16_t>(const double*, int32_t, uint16_t*, int32_t, int32_t, uint8_t,
                                uint8_t, int32_t, int32_t);

}  // namespace kernels::reference
