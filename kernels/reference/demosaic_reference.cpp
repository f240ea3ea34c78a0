// Demosaic rules read literally: border means, bilinear by named colours, VNG, PPG, the four-row
// mosaic.
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

namespace {

// The raw samples around (x, y) by their compass names.
struct Hood {
  int64_t Z, N, S, W, E, NW, NE, SW, SE, NN, SS, WW, EE, NNW, NNE, SSW, SSE, NWW, NEE, SWW, SEE,
      NNWW, NNEE, SSWW, SSEE;
};

template <typename S>
Hood hood(const S* raw, int32_t w, int32_t x, int32_t y) {
  auto s = [&](int32_t dx, int32_t dy) -> int64_t { return raw[(y + dy) * w + (x + dx)]; };
  return {s(0, 0),   s(0, -1), s(0, 1),  s(-1, 0),  s(1, 0),  s(-1, -1), s(1, -1),
          s(-1, 1),  s(1, 1),  s(0, -2), s(0, 2),   s(-2, 0), s(2, 0),   s(-1, -2),
          s(1, -2),  s(-1, 2), s(1, 2),  s(-2, -1), s(2, -1), s(-2, 1),  s(2, 1),
          s(-2, -2), s(2, -2), s(-2, 2), s(2, 2)};
}

int64_t ad(int64_t a, int64_t b) {
  return a > b ? a - b : b - a;
}
int64_t hf(int64_t a, int64_t b) {
  return ad(a, b) >> 1;
}
// Quotient toward zero, as the rules say, spelled without relying on the operator.
int64_t quot(int64_t a, int64_t b) {
  const int64_t q = ad(a, 0) / ad(b, 0);
  return (a < 0) != (b < 0) ? -q : q;
}
template <typename S>
S lim(int64_t v, uint8_t bits) {
  return S(v < 0 ? 0 : v > int64_t(maxval<S>(bits)) ? maxval<S>(bits) : v);
}

// Threshold selection and the two averaged differences from estimate 0.
void vngAverage(const int64_t g[8], const int64_t e0[8], const int64_t e1[8], const int64_t e2[8],
                int64_t& d1, int64_t& d2) {
  int64_t lo = g[0], hi = g[0];
  for (int k = 0; k < 8; ++k) lo = std::min(lo, g[k]), hi = std::max(hi, g[k]);
  const int64_t t = (hi >> 1) + lo;
  int64_t s0 = 0, s1 = 0, s2 = 0, n = 0;
  for (int k = 0; k < 8; ++k)
    if (g[k] <= t) s0 += e0[k], s1 += e1[k], s2 += e2[k], ++n;
  d1 = quot(s1 - s0, n), d2 = quot(s2 - s0, n);
}

}  // namespace

template <typename S>
void vng(uint32_t b, const uint8_t* site, int32_t w, int32_t h, const S* raw, S* out, uint8_t bits,
         uint8_t p, uint8_t rowOrder) {
  border(b, site, raw, out, w, h, bits, p, rowOrder);
  const size_t st = stride<S>(p, w);
  auto ch = [&](int32_t x, int32_t y) { return site[(y & 1) + 2 * (x & 1) + 4 * b]; };
  auto px = [&](int32_t x, int32_t y) { return out + (rowOrder ? y : h - 1 - y) * st + x * p; };
  for (int32_t y = 2; y < h - 2; ++y)
    for (int32_t x = 2; x < w - 2; ++x) {
      const Hood q = hood(raw, w, x, y);
      const int c = ch(x, y);
      if (c == 1) {
        px(x, y)[1] = S(q.Z);
        continue;
      }
      const int o = c == 0 ? 2 : 0;
      const int64_t g[8] = {ad(q.NN, q.Z) + ad(q.N, q.S) + hf(q.NW, q.SW) + hf(q.NE, q.SE) +
                                hf(q.NNW, q.W) + hf(q.NNE, q.E),
                            ad(q.EE, q.Z) + ad(q.E, q.W) + hf(q.NE, q.NW) + hf(q.SE, q.SW) +
                                hf(q.NEE, q.N) + hf(q.SEE, q.S),
                            ad(q.WW, q.Z) + ad(q.W, q.E) + hf(q.NW, q.NE) + hf(q.SW, q.SE) +
                                hf(q.NWW, q.N) + hf(q.SWW, q.S),
                            ad(q.SS, q.Z) + ad(q.S, q.N) + hf(q.SW, q.NW) + hf(q.SE, q.NE) +
                                hf(q.SSW, q.W) + hf(q.SSE, q.E),
                            ad(q.NNEE, q.Z) + ad(q.NE, q.SW) + hf(q.N, q.W) + hf(q.E, q.S) +
                                hf(q.NNE, q.N) + hf(q.NEE, q.E),
                            ad(q.SSEE, q.Z) + ad(q.SE, q.NW) + hf(q.E, q.N) + hf(q.S, q.W) +
                                hf(q.SEE, q.E) + hf(q.SSE, q.S),
                            ad(q.NNWW, q.Z) + ad(q.NW, q.SE) + hf(q.W, q.S) + hf(q.N, q.E) +
                                hf(q.NWW, q.W) + hf(q.NNW, q.N),
                            ad(q.SSWW, q.Z) + ad(q.SW, q.NE) + hf(q.S, q.E) + hf(q.W, q.N) +
                                hf(q.SSW, q.S) + hf(q.SWW, q.W)};
      const int64_t sc[8] = {(q.NN + q.Z) >> 1,   (q.EE + q.Z) >> 1,   (q.WW + q.Z) >> 1,
                             (q.SS + q.Z) >> 1,   (q.NNEE + q.Z) >> 1, (q.SSEE + q.Z) >> 1,
                             (q.NNWW + q.Z) >> 1, (q.SSWW + q.Z) >> 1};
      const int64_t sg[8] = {q.N,
                             q.E,
                             q.W,
                             q.S,
                             (q.N + q.NNE + q.E + q.NEE) >> 2,
                             (q.S + q.SSE + q.E + q.SEE) >> 2,
                             (q.N + q.NNW + q.W + q.NWW) >> 2,
                             (q.S + q.SSW + q.W + q.SWW) >> 2};
      const int64_t so[8] = {(q.NW + q.NE) >> 1,
                             (q.NE + q.SE) >> 1,
                             (q.NW + q.SW) >> 1,
                             (q.SW + q.SE) >> 1,
                             q.NE,
                             q.SE,
                             q.NW,
                             q.SW};
      int64_t dg, dother;
      vngAverage(g, sc, sg, so, dg, dother);
      px(x, y)[c] = S(q.Z);
      px(x, y)[1] = lim<S>(q.Z + dg, bits);
      px(x, y)[o] = lim<S>(q.Z + dother, bits);
    }
  for (int32_t y = 2; y < h - 2; ++y)
    for (int32_t x = 2; x < w - 2; ++x) {
      if (ch(x, y) != 1) continue;
      const Hood q = hood(raw, w, x, y);
      const int X = ch(x - 1, y), Y = ch(x, y - 1);
      const int64_t g[8] = {ad(q.NN, q.Z) + ad(q.N, q.S) + hf(q.NW, q.SW) + hf(q.NE, q.SE) +
                                hf(q.NNW, q.W) + hf(q.NNE, q.E),
                            ad(q.EE, q.Z) + ad(q.E, q.W) + hf(q.NE, q.NW) + hf(q.SE, q.SW) +
                                hf(q.NEE, q.N) + hf(q.SEE, q.S),
                            ad(q.WW, q.Z) + ad(q.W, q.E) + hf(q.NW, q.NE) + hf(q.SW, q.SE) +
                                hf(q.NWW, q.N) + hf(q.SWW, q.S),
                            ad(q.SS, q.Z) + ad(q.S, q.N) + hf(q.SW, q.NW) + hf(q.SE, q.NE) +
                                hf(q.SSW, q.W) + hf(q.SSE, q.E),
                            ad(q.NNEE, q.Z) + ad(q.NE, q.SW) + ad(q.NNE, q.W) + ad(q.NEE, q.S),
                            ad(q.SSEE, q.Z) + ad(q.SE, q.NW) + ad(q.SSE, q.W) + ad(q.SEE, q.N),
                            ad(q.NNWW, q.Z) + ad(q.NW, q.SE) + ad(q.NNW, q.E) + ad(q.NWW, q.S),
                            ad(q.SSWW, q.Z) + ad(q.SW, q.NE) + ad(q.SSW, q.E) + ad(q.SWW, q.N)};
      const int64_t sg[8] = {(q.Z + q.NN) >> 1,
                             (q.Z + q.EE) >> 1,
                             (q.Z + q.WW) >> 1,
                             (q.Z + q.SS) >> 1,
                             q.NE,
                             q.SE,
                             q.NW,
                             q.SW};
      const int64_t sx[8] = {(q.NNW + q.NNE + q.W + q.E) >> 2,
                             q.E,
                             q.W,
                             (q.SSW + q.SSE + q.W + q.E) >> 2,
                             (q.NNE + q.E) >> 1,
                             (q.SSE + q.E) >> 1,
                             (q.NNW + q.W) >> 1,
                             (q.SSW + q.W) >> 1};
      const int64_t sy[8] = {q.N,
                             (q.NEE + q.SEE + q.N + q.S) >> 2,
                             (q.NWW + q.SWW + q.N + q.S) >> 2,
                             q.S,
                             (q.NEE + q.N) >> 1,
                             (q.SEE + q.S) >> 1,
                             (q.NWW + q.N) >> 1,
                             (q.SWW + q.S) >> 1};
      int64_t dx, dy;
      vngAverage(g, sg, sx, sy, dx, dy);
      px(x, y)[Y] = lim<S>(q.Z + dy, bits);
      px(x, y)[X] = lim<S>(q.Z + dx, bits);
    }
}

namespace {

int64_t hueTransit(int64_t l1, int64_t l2, int64_t l3, int64_t v1, int64_t v3) {
  if ((l1 < l2 && l2 < l3) || (l1 > l2 && l2 > l3))
    return v1 + quot((l2 - l1) * (v3 - v1), l3 - l1);
  const int64_t sum = v1 + v3;
  return (sum - (sum & 1)) / 2 + quot(2 * l2 - l1 - l3, 4);
}

}  // namespace

template <typename S>
void ppg(uint32_t b, const uint8_t* site, int32_t w, int32_t h, const S* raw, S* out, uint8_t bits,
         uint8_t p, uint8_t rowOrder) {
  border(b, site, raw, out, w, h, bits, p, rowOrder);
  const size_t st = stride<S>(p, w);
  auto ch = [&](int32_t x, int32_t y) { return int(site[(y & 1) + 2 * (x & 1) + 4 * b]); };
  auto px = [&](int32_t x, int32_t y) { return out + (rowOrder ? y : h - 1 - y) * st + x * p; };
  // Reads of the output frame: channel k of the pixel at (x, y).
  auto o = [&](int32_t x, int32_t y, int k) -> int64_t { return px(x, y)[k]; };
  for (int32_t y = 2; y < h - 2; ++y)
    for (int32_t x = 2; x < w - 2; ++x) {
      const Hood q = hood(raw, w, x, y);
      const int c = ch(x, y);
      if (c == 1) {
        px(x, y)[1] = S(q.Z);
        continue;
      }
      const int64_t dN = ad(q.N, q.S) + 2 * ad(q.NN, q.Z), dE = ad(q.W, q.E) + 2 * ad(q.EE, q.Z);
      const int64_t dW = ad(q.W, q.E) + 2 * ad(q.WW, q.Z), dS = ad(q.N, q.S) + 2 * ad(q.SS, q.Z);
      int64_t g;
      if (dN <= dE && dN <= dW && dN <= dS)
        g = quot(3 * q.N + q.S + q.Z - q.NN, 4);
      else if (dE <= dW && dE <= dS)
        g = quot(3 * q.E + q.W + q.Z - q.EE, 4);
      else if (dW <= dS)
        g = quot(3 * q.W + q.E + q.Z - q.WW, 4);
      else
        g = quot(3 * q.S + q.N + q.Z - q.SS, 4);
      px(x, y)[1] = lim<S>(g, bits);
      px(x, y)[c] = S(q.Z);
    }
  for (int32_t y = 2; y < h - 2; ++y)
    for (int32_t x = 2; x < w - 2; ++x) {
      if (ch(x, y) != 1) continue;
      const int X = ch(x - 1, y), Y = ch(x, y - 1);
      const int64_t Z = o(x, y, 1);
      px(x, y)[X] = lim<S>(
          hueTransit(o(x - 1, y, 1), Z, o(x + 1, y, 1), o(x - 1, y, X), o(x + 1, y, X)), bits);
      px(x, y)[Y] = lim<S>(
          hueTransit(o(x, y - 1, 1), Z, o(x, y + 1, 1), o(x, y - 1, Y), o(x, y + 1, Y)), bits);
    }
  for (int32_t y = 2; y < h - 2; ++y)
    for (int32_t x = 2; x < w - 2; ++x) {
      const int c = ch(x, y);
      if (c == 1) continue;
      const int O = 2 - c;
      const int64_t Z = o(x, y, c), Gz = o(x, y, 1);
      const int64_t dne = ad(Z, o(x - 2, y + 2, c)) + ad(o(x + 2, y - 2, c), Z) +
                          ad(Gz, o(x - 1, y + 1, 1)) + ad(o(x + 1, y - 1, 1), Gz) +
                          ad(o(x + 1, y - 1, O), o(x - 1, y + 1, O));
      const int64_t dnw = ad(Z, o(x + 2, y + 2, c)) + ad(o(x - 2, y - 2, c), Z) +
                          ad(o(x - 1, y - 1, O), o(x + 1, y + 1, O)) + ad(Gz, o(x + 1, y + 1, 1)) +
                          ad(o(x - 1, y - 1, 1), Gz);
      const int64_t v = dne > dnw ? hueTransit(o(x - 1, y - 1, 1), Gz, o(x + 1, y + 1, 1),
                                               o(x - 1, y - 1, O), o(x + 1, y + 1, O))
                                  : hueTransit(o(x + 1, y - 1, 1), Gz, o(x - 1, y + 1, 1),
                                               o(x + 1, y - 1, O), o(x - 1, y + 1, O));
      px(x, y)[O] = lim<S>(v, bits);
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

#define ZX_REF_DEMOSAIC(S)                                                                         \
  template size_t stride<S>(uint32_t, int32_t);                                                    \
  template void border<S>(uint32_t, const uint8_t*, const S*, S*, int32_t, int32_t, uint8_t,       \
                          uint8_t, uint8_t);                                                       \
  template void bilinear<S>(bool, uint32_t, const uint8_t*, int32_t, int32_t, const S*, S*,        \
                            uint8_t, uint8_t, uint8_t);                                            \
  template void vng<S>(uint32_t, const uint8_t*, int32_t, int32_t, const S*, S*, uint8_t, uint8_t, \
                       uint8_t);                                                                   \
  template void ppg<S>(uint32_t, const uint8_t*, int32_t, int32_t, const S*, S*, uint8_t, uint8_t, \
                       uint8_t);                                                                   \
  template void quickDemosaic<S>(const S*, S*, int32_t, int32_t, int32_t);
ZX_REF_DEMOSAIC(uint8_t)
ZX_REF_DEMOSAIC(uint16_t)

}  // namespace kernels::reference
