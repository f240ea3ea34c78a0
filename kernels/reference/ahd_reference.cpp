// AHD demosaic read literally: whole-frame passes over every pixel index, one buffer per step.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "kernels/reference/reference.h"

namespace kernels::reference {
namespace {

template <typename S>
int32_t maxOf(uint8_t bits) {
  return int32_t(sizeof(S) == 1 ? (255u >> (8 - bits)) : (65535u >> (16 - bits)));
}

int32_t clampTo(int64_t v, int32_t max) {
  return int32_t(std::clamp<int64_t>(v, 0, max));
}

bool interior(int32_t x, int32_t y, int32_t w, int32_t h) {
  return x >= 2 && x < w - 2 && y >= 2 && y < h - 2;
}

struct Frame {
  int32_t w, h;
  size_t at(int32_t x, int32_t y) const { return size_t(y) * w + x; }
};

// AhdInterpolate: green along rows (H) and columns (V), then red and blue from each candidate's
// own green. The ring takes what the border fill wrote before the second sweep.
template <typename S>
void interpolate(const Frame& f, uint32_t b, const uint8_t* site, const S* raw, const S* out,
                 uint8_t p, bool rowOrder, int32_t max, AhdImages& im) {
  auto r = [&](int32_t x, int32_t y) { return int32_t(raw[f.at(x, y)]); };
  auto siteOf = [&](int32_t x, int32_t y) { return site[(y & 1) + 2 * (x & 1) + 4 * b]; };
  const size_t n = size_t(f.w) * f.h;
  for (size_t i = 0; i < n; ++i) {
    const int32_t x = int32_t(i % f.w), y = int32_t(i / f.w);
    if (!interior(x, y, f.w, f.h)) continue;
    if (siteOf(x, y) == 1) {
      im.candH[3 * i + 1] = im.candV[3 * i + 1] = r(x, y);
      continue;
    }
    im.candH[3 * i + 1] = clampTo((r(x - 1, y) >> 1) + (r(x + 1, y) >> 1) + (r(x, y) >> 1) -
                                      (r(x - 2, y) >> 2) - (r(x + 2, y) >> 2),
                                  max);
    im.candV[3 * i + 1] = clampTo((r(x, y - 1) >> 1) + (r(x, y + 1) >> 1) + (r(x, y) >> 1) -
                                      (r(x, y - 2) >> 2) - (r(x, y + 2) >> 2),
                                  max);
  }
  const size_t stride = reference::stride<S>(p, f.w);
  for (size_t i = 0; i < n; ++i) {
    const int32_t x = int32_t(i % f.w), y = int32_t(i / f.w);
    if (interior(x, y, f.w, f.h)) continue;
    const S* px = out + size_t(rowOrder ? y : f.h - 1 - y) * stride + size_t(x) * p;
    for (int c = 0; c < 3; ++c) im.candH[3 * i + c] = im.candV[3 * i + c] = px[c];
  }
  for (std::vector<int32_t>* cand : {&im.candH, &im.candV}) {
    auto G = [&](int32_t x, int32_t y) { return (*cand)[3 * f.at(x, y) + 1]; };
    auto diffOver = [&](int32_t x, int32_t y, int32_t d) { return (r(x, y) - G(x, y)) / d; };
    for (size_t i = 0; i < n; ++i) {
      const int32_t x = int32_t(i % f.w), y = int32_t(i / f.w);
      if (!interior(x, y, f.w, f.h)) continue;
      const int s = siteOf(x, y);
      int32_t* px = &(*cand)[3 * i];
      if (s != 1) {
        px[s] = r(x, y);
        px[2 - s] = clampTo(G(x, y) + diffOver(x - 1, y + 1, 4) + diffOver(x - 1, y - 1, 4) +
                                diffOver(x + 1, y - 1, 4) + diffOver(x + 1, y + 1, 4),
                            max);
      } else {
        const int rowChannel = siteOf(x - 1, y);
        px[rowChannel] = clampTo(G(x, y) + diffOver(x - 1, y, 2) + diffOver(x + 1, y, 2), max);
        px[2 - rowChannel] = clampTo(G(x, y) + diffOver(x, y + 1, 2) + diffOver(x, y - 1, 2), max);
      }
    }
  }
}

// AhdThresholds: each candidate measured against its own direction only.
void thresholds(const Frame& f, AhdImages& im) {
  const size_t n = size_t(f.w) * f.h;
  auto Y = [&](const std::vector<int32_t>& c, size_t i) { return int64_t(c[3 * i]); };
  auto dC = [&](const std::vector<int32_t>& c, size_t a, size_t i) {
    const int64_t db = c[3 * a + 1] - c[3 * i + 1], dr = c[3 * a + 2] - c[3 * i + 2];
    return db * db + dr * dr;
  };
  for (size_t i = 0; i < n; ++i) {
    const int32_t x = int32_t(i % f.w), y = int32_t(i / f.w);
    if (!interior(x, y, f.w, f.h)) continue;
    const size_t up = i - f.w, down = i + f.w, left = i - 1, right = i + 1;
    const auto& V = im.yccV;
    const auto& H = im.yccH;
    im.eL[i] =
        std::min(std::max(std::llabs(Y(V, up) - Y(V, i)), std::llabs(Y(V, down) - Y(V, i))),
                 std::max(std::llabs(Y(H, left) - Y(H, i)), std::llabs(Y(H, right) - Y(H, i))));
    const int64_t c2 =
        std::min(std::max(dC(V, up, i), dC(V, down, i)), std::max(dC(H, left, i), dC(H, right, i)));
    im.eC[i] = int64_t(std::sqrt(double(c2)));
  }
}

// AhdHomogeneity: 1 for the pixel plus the neighbours within both thresholds, per candidate.
void homogeneity(const Frame& f, AhdImages& im) {
  const size_t n = size_t(f.w) * f.h;
  im.homH.assign(n, 0);
  im.homV.assign(n, 0);
  for (size_t i = 0; i < n; ++i) {
    const int32_t x = int32_t(i % f.w), y = int32_t(i / f.w);
    if (!interior(x, y, f.w, f.h)) continue;
    const size_t around[4] = {i + f.w, i + 1, i - 1, i - f.w};
    for (int k = 0; k < 2; ++k) {
      const auto& c = k ? im.yccV : im.yccH;
      int32_t count = 1;
      for (size_t a : around) {
        const int64_t dy = c[3 * a] - c[3 * i];
        const int64_t db = c[3 * a + 1] - c[3 * i + 1], dr = c[3 * a + 2] - c[3 * i + 2];
        if (std::llabs(dy) <= im.eL[i] && db * db + dr * dr <= im.eC[i] * im.eC[i]) ++count;
      }
      (k ? im.homV : im.homH)[i] = count;
    }
  }
}

// Medians of colour differences, in place, raster order: above and left are refined already.
template <typename S>
void refine(const Frame& f, S* out, size_t stride, uint8_t p, bool rowOrder, bool bgr,
            int32_t max) {
  const int red = bgr ? 2 : 0, blue = 2 - red;
  auto px = [&](int32_t x, int32_t y) {
    return out + size_t(rowOrder ? y : f.h - 1 - y) * stride + size_t(x) * p;
  };
  for (int32_t y = 2; y < f.h - 2; ++y)
    for (int32_t x = 2; x < f.w - 2; ++x) {
      S* c = px(x, y);
      for (int ch : {red, blue}) {
        int32_t d[8], k = 0;
        for (int32_t dy = -1; dy <= 1; ++dy)
          for (int32_t dx = -1; dx <= 1; ++dx)
            if (dx || dy) d[k++] = int32_t(px(x + dx, y + dy)[ch]) - px(x + dx, y + dy)[1];
        std::sort(d, d + 8);
        c[ch] = S(clampTo(int32_t(c[1]) + (d[3] + d[4]) / 2, max));
      }
      const S* nb[4] = {px(x, y - 1), px(x - 1, y), px(x + 1, y), px(x, y + 1)};
      int32_t a[4], bb[4];
      for (int k = 0; k < 4; ++k)
        a[k] = int32_t(nb[k][1]) - nb[k][red], bb[k] = int32_t(nb[k][1]) - nb[k][blue];
      std::sort(a, a + 4);
      std::sort(bb, bb + 4);
      const int32_t ma = (a[1] + a[2]) / 2, mb = (bb[1] + bb[2]) / 2;
      c[1] = S(clampTo((int32_t(c[red]) + c[blue] + ma + mb) / 2, max));
    }
}

}  // namespace

void rgbToYcc(int32_t R, int32_t G, int32_t B, uint8_t bits, int32_t ycc[3]) {
  constexpr double k = 0.00392156862745098;
  static const double c[3][3] = {{65.481 * k, 128.553 * k, 24.966 * k},
                                 {-37.797 * k, -74.203 * k, 112.0 * k},
                                 {112.0 * k, -93.786 * k, -18.214 * k}};
  const int32_t max = int32_t((1u << bits) - 1), s = max / 255;
  const double base[3] = {16.0 * s, 128.0 * s, 128.0 * s};
  for (int i = 0; i < 3; ++i) {
    const double v = base[i] + ((c[i][0] * R + c[i][1] * G) + c[i][2] * B);
    ycc[i] = v > max ? max : (v < 0 ? 0 : int32_t(v));
  }
}

template <typename S>
AhdImages ahd(bool bgr, uint32_t b, const uint8_t* site, int32_t w, int32_t h, const S* raw, S* out,
              uint8_t bits, uint8_t p, uint8_t rowOrder) {
  AhdImages im;
  border<S>(b, site, raw, out, w, h, bits, p, rowOrder);
  if (w <= 4 || h <= 4) return im;
  const Frame f{w, h};
  const size_t n = size_t(w) * h;
  const int32_t max = maxOf<S>(bits);
  im.candH.assign(3 * n, 0), im.candV.assign(3 * n, 0);
  interpolate(f, b, site, raw, out, p, rowOrder != 0, max, im);
  const int red = bgr ? 2 : 0;
  im.yccH.assign(3 * n, 0), im.yccV.assign(3 * n, 0);
  for (size_t i = 0; i < n; ++i) {
    const int32_t x = int32_t(i % w), y = int32_t(i / w);
    if (x < 1 || y < 1 || x >= w - 1 || y >= h - 1) continue;  // the interior and its ring
    for (int k = 0; k < 2; ++k) {
      const int32_t* c = &(k ? im.candV : im.candH)[3 * i];
      rgbToYcc(c[red], c[1], c[2 - red], bits, &(k ? im.yccV : im.yccH)[3 * i]);
    }
  }
  im.eL.assign(n, 0), im.eC.assign(n, 0);
  thresholds(f, im);
  homogeneity(f, im);
  const size_t st = stride<S>(p, w);
  im.chosen = im.candH;  // the ring: what the border fill wrote
  for (size_t i = 0; i < n; ++i) {
    const int32_t x = int32_t(i % w), y = int32_t(i / w);
    if (!interior(x, y, w, h)) continue;
    int32_t sH = 0, sV = 0;
    for (int32_t dy = -1; dy <= 1; ++dy)
      for (int32_t dx = -1; dx <= 1; ++dx)
        sH += im.homH[f.at(x + dx, y + dy)], sV += im.homV[f.at(x + dx, y + dy)];
    const int32_t* c = &(sH > sV ? im.candH : im.candV)[3 * i];
    S* px = out + size_t(rowOrder ? y : h - 1 - y) * st + size_t(x) * p;
    for (int ch = 0; ch < 3; ++ch) px[ch] = S(c[ch]), im.chosen[3 * i + ch] = c[ch];
  }
  refine(f, out, st, p, rowOrder != 0, bgr, max);
  return im;
}

template AhdImages ahd<uint8_t>(bool, uint32_t, const uint8_t*, int32_t, int32_t, const uint8_t*,
                                uint8_t*, uint8_t, uint8_t, uint8_t);
template AhdImages ahd<uint16_t>(bool, uint32_t, const uint8_t*, int32_t, int32_t, const uint16_t*,
                                 uint16_t*, uint8_t, uint8_t, uint8_t);

}  // namespace kernels::reference
