// Demosaic rules read literally: border means, bilinear by named colours, the four-row mosaic.
#include <algorithm>

#include "kernels/reference/reference.h"

namespace kernels::reference {

template <typename S>
size_t stride(uint32_t p, int32_t w) {
  if (sizeof(S) == 1) return size_t((p * w * 8 + 31) / 32) * 4;
  return size_t((p * w * 16 + 31) / 32) * 2;
}

namespace {

template <typename S>
uint32_t maxval(uint8_t bits) {
  return sizeof(S) == 1 ? (255u >> (8 - bits)) : (65535u >> (16 - bits));
}

// The pattern by letters: [b][row parity] = first row's two letters, second row's two letters.
const char* kPattern[4][2] = {{"GR", "BG"}, {"RG", "GB"}, {"BG", "GR"}, {"GB", "RG"}};

char letter(uint32_t b, int32_t x, int32_t y) {
  return kPattern[b][y & 1][x & 1];
}

}  // namespace

template <typename S>
void border(uint32_t b, const uint8_t* site, const S* raw, S* out, int32_t w, int32_t h,
            uint8_t bits, uint8_t p, uint8_t rowOrder) {
  if (std::min(w, h) / 2 < 2) return;
  const size_t st = stride<S>(p, w);
  auto visit = [&](int32_t x, int32_t y) {
    const int c = site[(y & 1) + 2 * (x & 1) + 4 * b];
    uint64_t sum[3] = {};
    uint32_t count[3] = {};
    for (int32_t ny = y - 1; ny <= y + 1; ++ny)
      for (int32_t nx = x - 1; nx <= x + 1; ++nx) {
        if (nx < 0 || ny < 0 || nx >= w || ny >= h || (nx == x && ny == y)) continue;
        const int nc = site[(ny & 1) + 2 * (nx & 1) + 4 * b];
        if (nc == c) continue;
        sum[nc] += raw[ny * w + nx];
        count[nc] += 1;
      }
    const int32_t row = rowOrder ? y : h - 1 - y;
    S* px = out + row * st + x * p;
    for (int ch = 0; ch < 3; ++ch) {
      if (ch == c) {
        px[ch] = raw[y * w + x];
      } else {
        const double q = double(sum[ch]) / double(count[ch]);
        px[ch] = S(q > maxval<S>(bits) ? maxval<S>(bits) : uint32_t(q));
      }
    }
  };
  for (int32_t y = 0; y < h; ++y) {
    if (2 <= y && y < h - 2) {
      visit(0, y), visit(1, y), visit(w - 2, y), visit(w - 1, y);
    } else {
      for (int32_t x = 0; x < w; ++x) visit(x, y);
    }
  }
}

template <typename S>
void bilinear(bool bgr, uint32_t b, const uint8_t* site, int32_t w, int32_t h, const S* raw, S* out,
              uint8_t bits, uint8_t p, uint8_t rowOrder) {
  border(b, site, raw, out, w, h, bits, p, rowOrder);
  const int R = bgr ? 2 : 0, G = 1, B = bgr ? 0 : 2;
  const size_t st = stride<S>(p, w);
  auto s = [&](int32_t x, int32_t y) -> uint32_t { return raw[y * w + x]; };
  for (int32_t y = 2; y < h - 2; ++y)
    for (int32_t x = 2; x < w - 2; ++x) {
      const uint32_t Z = s(x, y), N = s(x, y - 1), S_ = s(x, y + 1), W = s(x - 1, y),
                     E = s(x + 1, y);
      const uint32_t NW = s(x - 1, y - 1), NE = s(x + 1, y - 1), SW = s(x - 1, y + 1),
                     SE = s(x + 1, y + 1);
      S* px = out + (rowOrder ? y : h - 1 - y) * st + x * p;
      const char c = letter(b, x, y);
      if (c == 'G' && letter(b, x + 1, y) == 'R') {
        px[G] = S((Z + NW) >> 1), px[R] = S((W + E) >> 1), px[B] = S((N + S_) >> 1);
      } else if (c == 'G') {
        px[G] = S((Z + NW) >> 1), px[B] = S((W + E) >> 1), px[R] = S((N + S_) >> 1);
      } else if (c == 'R') {
        px[R] = S(Z), px[G] = S((N + S_ + W + E) >> 2), px[B] = S((NW + NE + SW + SE) >> 2);
      } else {
        px[B] = S(Z), px[G] = S((N + S_ + W + E) >> 2), px[R] = S((NW + NE + SW + SE) >> 2);
      }
    }
}

template <typename S>
void quickDemosaic(const S* raw, S* dst, int32_t w, int32_t h, int32_t limit) {
  if (w < 4 || h < 6) {
    std::copy(raw, raw + w * h, dst);
    return;
  }
  auto s = [&](int32_t x, int32_t y) -> int32_t { return raw[y * w + x]; };
  auto d = [&](int32_t x, int32_t y) -> S& { return dst[y * w + x]; };
  for (int32_t y = 2; y <= h - 3; ++y) {
    for (int32_t x = 1; x <= w - 2; ++x) {
      const int32_t P = (s(x, y) + s(x + 1, y) + s(x, y + 2) + s(x + 1, y + 2)) >> 2;
      const int32_t H0 = ((s(x - 1, y) + s(x + 1, y)) >> 1) - s(x, y);
      const int32_t H2 = ((s(x - 1, y + 2) + s(x + 1, y + 2)) >> 1) - s(x, y + 2);
      int32_t D1, D2;
      if (y % 4 == 0 || y % 4 == 3)
        D1 = H2, D2 = H0;
      else
        D1 = H0, D2 = H2;
      const int32_t E1 = x % 2 == 0 ? D1 : -D1, E2 = x % 2 == 0 ? D2 : -D2;
      const int32_t Va = std::clamp(P + (E2 >> 1) + 2 * E1, 0, limit);
      const int32_t Vg = std::clamp(2 * P - E1 + E2, 0, limit);
      const int32_t Vb = std::clamp(P - 2 * E2 - (E1 >> 1), 0, limit);
      if (y % 2 == 0 && x % 2 == 0)
        d(x, y) = S(Va);
      else if (y % 2 == 1 && x % 2 == 1)
        d(x, y) = S(Vb);
      else
        d(x, y) = S(Vg);
    }
    d(0, y) = d(2, y);
    d(w - 1, y) = d(w - 3, y);
  }
  for (int32_t x = 0; x < w; ++x) d(x, 0) = d(x, 2);
  for (int32_t x = 0; x < w; ++x) d(x, 1) = d(x, 3);
  for (int32_t x = 0; x < w; ++x) d(x, h - 2) = d(x, h - 4);
  for (int32_t x = 0; x < w; ++x) d(x, h - 1) = d(x, h - 3);
}

#define ZX_REF_DEMOSAIC(S)                                                                   \
  template size_t stride<S>(uint32_t, int32_t);                                              \
  template void border<S>(uint32_t, const uint8_t*, const S*, S*, int32_t, int32_t, uint8_t, \
                          uint8_t, uint8_t);                                                 \
  template void bilinear<S>(bool, uint32_t, const uint8_t*, int32_t, int32_t, const S*, S*,  \
                            uint8_t, uint8_t, uint8_t);                                      \
  template void quickDemosaic<S>(const S*, S*, int32_t, int32_t, int32_t);
ZX_REF_DEMOSAIC(uint8_t)
ZX_REF_DEMOSAIC(uint16_t)

}  // namespace kernels::reference
