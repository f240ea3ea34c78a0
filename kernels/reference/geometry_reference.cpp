// Literal mirror, flip and turns.
#include <algorithm>
#include <vector>

#include "kernels/kernel_base.h"
#include "kernels/reference/output_reference.h"

namespace kernels::reference {

template <typename S>
void flip(int32_t flipWord, int32_t w, int32_t h, S* frame, uint8_t p) {
  const size_t R = rowStride<S>(p, w);
  if (flipWord & 1)
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w / 2; ++x)
        for (int c = 0; c < p; ++c)
          std::swap(frame[y * R + size_t(x) * p + c], frame[y * R + size_t(w - 1 - x) * p + c]);
  if (flipWord & 2) {
    std::vector<S> tmp(R);
    for (int32_t y = 0; y < h / 2; ++y) {
      S* a = frame + size_t(y) * R;
      S* b = frame + size_t(h - 1 - y) * R;
      std::copy(a, a + R, tmp.begin());
      std::copy(b, b + R, a);
      std::copy(tmp.begin(), tmp.end(), b);
    }
  }
}

template <typename S>
void quarterTurn(bool ccw, S* frame, int32_t w, int32_t h, uint8_t p) {
  const size_t R = rowStride<S>(p, w), Rn = rowStride<S>(p, h);
  const std::vector<S> copy(frame, frame + R * h);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const int32_t X = ccw ? y : h - 1 - y, Y = ccw ? w - 1 - x : x;
      for (int c = 0; c < p; ++c)
        frame[size_t(Y) * Rn + size_t(X) * p + c] = copy[size_t(y) * R + size_t(x) * p + c];
    }
}

template <typename S>
void halfTurn(int32_t w, int32_t h, S* frame, uint8_t p) {
  const size_t R = rowStride<S>(p, w);
  auto px = [&](int32_t x, int32_t y) { return frame + size_t(y) * R + size_t(x) * p; };
  for (int32_t y = 0; y < h / 2; ++y)
    for (int32_t x = 0; x < w; ++x)
      std::swap_ranges(px(x, y), px(x, y) + p, px(w - 1 - x, h - 1 - y));
  if (h % 2)
    for (int32_t x = 0; x < w / 2; ++x)
      std::swap_ranges(px(x, h / 2), px(x, h / 2) + p, px(w - 1 - x, h / 2));
}

template void flip(int32_t, int32_t, int32_t, uint8_t*, uint8_t);
template void flip(int32_t, int32_t, int32_t, uint16_t*, uint8_t);
template void quarterTurn(bool, uint8_t*, int32_t, int32_t, uint8_t);
template void quarterTurn(bool, uint16_t*, int32_t, int32_t, uint8_t);
template void halfTurn(int32_t, int32_t, uint8_t*, uint8_t);
template void halfTurn(int32_t, int32_t, uint16_t*, uint8_t);

}  // namespace kernels::reference
