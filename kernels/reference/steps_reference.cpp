// Raw, colour and statistics rules read literally, one pixel at a time.
#include <algorithm>
#include <cstdint>

#include "kernels/reference/reference.h"

namespace kernels::reference {
namespace {

// Colour of a raw site by the Bayer index: 0 red, 1 green, 2 blue.
int siteColour(uint32_t b, int32_t x, int32_t y) {
  static const char* kPattern[4][2] = {{"GR", "BG"}, {"RG", "GB"}, {"BG", "GR"}, {"GB", "RG"}};
  const char c = kPattern[b][y & 1][x & 1];
  return c == 'R' ? 0 : (c == 'G' ? 1 : 2);
}

template <typename S>
uint32_t maxOf(uint8_t bits) {
  return sizeof(S) == 1 ? 255u : (65535u >> (16 - bits));
}

}  // namespace

template <typename S>
void blackLevel(uint32_t b, const uint16_t offsets[3], int32_t w, int32_t h, S* raw) {
  if (b > 3 || w < 1 || h < 1) return;
  for (int pass = 0; pass < 4; ++pass)
    for (int32_t y = pass / 2; y < h; y += 2)
      for (int32_t x = pass % 2; x < w; x += 2) {
        const uint32_t off =
            sizeof(S) == 1 ? (offsets[siteColour(b, x, y)] & 0xFF) : offsets[siteColour(b, x, y)];
        S& s = raw[y * w + x];
        s = s > off ? S(s - off) : S(0);
      }
}

template <typename S>
void rawWb(uint32_t b, const S* red, const S* green, const S* blue, int32_t w, int32_t h, S* raw) {
  if (b > 3 || w < 1 || h < 1) return;
  const S* t[3] = {red, green, blue};
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) raw[y * w + x] = t[siteColour(b, x, y)][raw[y * w + x]];
}

template <typename S>
void convertMono(bool rowOrder, uint8_t p, int32_t w, int32_t h, const S* raw, S* out) {
  const size_t st = stride<S>(p, w);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      S* px = out + (rowOrder ? y : h - 1 - y) * st + x * p;
      const S v = raw[y * w + x];
      if (p == 1)
        px[0] = v;
      else if (p == 4)
        px[0] = v, px[1] = v, px[2] = v, px[3] = 0;
      else
        px[0] = v, px[1] = v, px[2] = v;
    }
}

template <typename S>
void monoLut(const S* table, int32_t w, int32_t h, S* image, uint8_t p) {
  const size_t st = stride<S>(p, w);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      S* px = image + y * st + x * p;
      if (p == 1)
        px[0] = table[px[0]];
      else
        px[0] = px[1] = px[2] = table[px[0]];
    }
}

template <typename S>
void vignette(bool bgr, uint8_t p, S* img, int32_t w, int32_t rows, const int32_t* radius,
              const double* gain, uint32_t gainCount, uint8_t bits) {
  const size_t st = stride<S>(p, w);
  const double max = maxOf<S>(bits);
  const int ri = bgr ? 2 : 0, bi = bgr ? 0 : 2;
  for (int32_t y = 0; y < rows; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const int64_t idx = std::clamp<int64_t>(radius[y * w + x], 0, int64_t(gainCount) - 1);
      const double g = gain[idx];
      const double a = 0.29901792 * g, b = 0.58697404 * g, c = 0.11399476 * g, k = 18.6304 * g;
      S* at = img + y * st + x * p;
      // One sample a pixel: the grey pixel (v, v, v), of which the first byte is kept.
      S grey[3] = {at[0], at[0], at[0]};
      S* px = p == 1 ? grey : at;
      const double R = px[ri], G = px[1], B = px[bi];
      double out[3] = {(a + 0.70096) * R + (b - 0.58701) * G + (c - 0.11395) * B + k - 18.634,
                       (a - 0.299) * R + (b + 0.41304) * G + (c - 0.11403) * B + k - 18.639,
                       (a - 0.29895) * R + (b - 0.58701) * G + (c + 0.88595) * B + k - 18.635};
      for (double& v : out) v = v > max ? max : (v < 0 ? 0 : double(uint32_t(v)));
      px[ri] = S(out[0]), px[1] = S(out[1]), px[bi] = S(out[2]);
      if (p == 1) at[0] = grey[0];
    }
}

template <typename S>
void adjustColour(bool bgr, const ColourArgs<S>& a, S* img, int32_t w, int32_t rows) {
  const size_t st = stride<S>(a.p, w);
  const uint32_t max = maxOf<S>(a.bits);
  const int ri = bgr ? 2 : 0, bi = bgr ? 0 : 2;
  const bool toneNeutral = a.contrast == 0 && a.gamma == 100 && a.brightness == 0;
  const bool colourNeutral = !a.matrixOn && a.hue == 0 && a.saturation == 128;
  for (int32_t y = 0; y < rows; ++y)
    for (int32_t x = 0; x < w; ++x) {
      S* px = img + y * st + x * a.p;
      const uint32_t R = px[ri], G = px[1], B = px[bi];
      const uint32_t Y = uint32_t(a.lumaR[R] + a.lumaG[G] + a.lumaB[B]);
      auto M = [&](int o) {
        // Q(o, i)[v] = v x q(o, i), taken at full width.
        const int64_t sum = int64_t(R) * a.coef[3 * o] + int64_t(G) * a.coef[3 * o + 1] +
                            int64_t(B) * a.coef[3 * o + 2];
        const int64_t v = sum >> 14;
        return uint32_t(v < 0 ? 0 : (v > max ? max : v));
      };
      uint32_t out[3] = {R, G, B};
      if (!a.hw && !a.mono) {
        if (toneNeutral && colourNeutral) continue;
        if (toneNeutral)
          out[0] = M(0), out[1] = M(1), out[2] = M(2);
        else if (colourNeutral)
          out[0] = a.T[R], out[1] = a.T[G], out[2] = a.T[B];
        else
          out[0] = a.T[M(0)], out[1] = a.T[M(1)], out[2] = a.T[M(2)];
      } else if (!a.hw) {
        if (a.hue == 0 && a.saturation == 128) {
          out[0] = out[1] = out[2] = a.T[std::min(Y, max)];
        } else {
          const double yy = double(Y) * a.h[0] + double(Y) * a.h[1] + double(Y) * a.h[2];
          const uint32_t v = yy > max ? max : (yy < 0 ? 0 : uint32_t(yy));
          out[0] = out[1] = out[2] = a.T[v];
        }
      } else if (!a.swTone) {
        if (!a.mono) continue;
        out[0] = out[1] = out[2] = std::min(Y, max);
      } else if (!a.mono) {
        out[0] = a.T[R], out[1] = a.T[G], out[2] = a.T[B];
      } else {
        out[0] = out[1] = out[2] = a.T[std::min(Y, max)];
      }
      px[ri] = S(out[0]), px[1] = S(out[1]), px[bi] = S(out[2]);
    }
}

template <typename S>
void levels(bool bgr, bool mono, const S* gray, const double* lr, const double* lg,
            const double* lb, const S* red, const S* green, const S* blue, int32_t w, int32_t rows,
            S* img, uint8_t p) {
  const size_t st = stride<S>(p, w);
  const int ri = bgr ? 2 : 0, bi = bgr ? 0 : 2;
  for (int32_t y = 0; y < rows; ++y)
    for (int32_t x = 0; x < w; ++x) {
      S* at = img + y * st + x * p;
      S grey[3] = {at[0], at[0], at[0]};
      S* px = p == 1 ? grey : at;
      if (mono) {
        uint32_t l = uint32_t(lr[px[ri]] + lg[px[1]] + lb[px[bi]]);
        l = sizeof(S) == 1 ? (l & 0xFF) : (l & 0xFFFF);
        px[0] = px[1] = px[2] = gray[l];
      } else {
        px[ri] = red[px[ri]], px[1] = green[px[1]], px[bi] = blue[px[bi]];
      }
      if (p == 1) at[0] = grey[0];
    }
}

template <typename S>
void toneLut(const S* table, uint32_t count, int32_t w, int32_t rows, S* img, uint8_t p) {
  const size_t st = stride<S>(p, w);
  for (int32_t y = 0; y < rows; ++y)
    for (int32_t x = 0; x < w; ++x)
      for (int c = 0; c < 3; ++c) {
        S& s = img[y * st + x * p + c];
        s = table[std::min<uint32_t>(s, count - 1)];
      }
}

template <typename S>
std::array<std::array<uint32_t, 256>, 4> stats(bool bgr, bool mono, const S* img, int32_t w,
                                               int32_t rows, uint8_t p, uint8_t bits,
                                               const double* lr, const double* lg,
                                               const double* lb) {
  std::array<std::array<uint32_t, 256>, 4> c{};
  const size_t st = stride<S>(p, w);
  const uint32_t max = maxOf<S>(bits), shift = bits - 8;
  const int ri = bgr ? 2 : 0, bi = bgr ? 0 : 2;
  for (int32_t y = 0; y < rows; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const S* px = img + y * st + x * p;
      if (mono) {
        c[0][std::min<uint32_t>(px[0], max) >> shift] += 1;
        continue;
      }
      const uint32_t R = std::min<uint32_t>(px[ri], max), G = std::min<uint32_t>(px[1], max),
                     B = std::min<uint32_t>(px[bi], max);
      const uint32_t L = std::min(uint32_t(lr[R] + lg[G] + lb[B]), max);
      c[0][L >> shift] += 1, c[1][R >> shift] += 1, c[2][G >> shift] += 1, c[3][B >> shift] += 1;
    }
  return c;
}

template <typename S>
std::vector<uint32_t> histogram(bool bgr, bool mono, const S* img, int32_t w, int32_t h, uint8_t p,
                                uint8_t bits) {
  const uint32_t n = 1u << bits;
  std::vector<uint32_t> c(mono ? n : 3 * n, 0);
  const size_t st = stride<S>(p, w);
  const int ri = bgr ? 2 : 0, bi = bgr ? 0 : 2;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const S* px = img + y * st + x * p;
      if (mono) {
        c[std::min<uint32_t>(px[0], n - 1)] += 1;
      } else {
        c[std::min<uint32_t>(px[ri], n - 1)] += 1;
        c[n + std::min<uint32_t>(px[1], n - 1)] += 1;
        c[2 * n + std::min<uint32_t>(px[bi], n - 1)] += 1;
      }
    }
  return c;
}

template <typename S>
void aeMark(uint32_t call, int32_t left, int32_t top, int32_t right, int32_t bottom, S* img,
            int32_t w, int32_t h, uint8_t p, uint8_t bits) {
  if ((call & 3) == 1 || top >= bottom) return;
  const size_t st = stride<S>(p, w);
  const uint32_t max = maxOf<S>(bits);
  for (int32_t y = top; y < bottom; ++y)
    for (int32_t x = left; x < right; ++x) {
      if (x < 0 || y < 0 || x >= w || y >= h) continue;
      S* px = img + (h - 1 - y) * st + x * p;
      for (int c = 0; c < std::min<int>(p, 3); ++c) px[c] = S(max - std::min<uint32_t>(px[c], max));
    }
}

#define ZX_REF_STEPS(S)                                                                         \
  template void blackLevel<S>(uint32_t, const uint16_t*, int32_t, int32_t, S*);                 \
  template void rawWb<S>(uint32_t, const S*, const S*, const S*, int32_t, int32_t, S*);         \
  template void convertMono<S>(bool, uint8_t, int32_t, int32_t, const S*, S*);                  \
  template void monoLut<S>(const S*, int32_t, int32_t, S*, uint8_t);                            \
  template void vignette<S>(bool, uint8_t, S*, int32_t, int32_t, const int32_t*, const double*, \
                            uint32_t, uint8_t);                                                 \
  template void adjustColour<S>(bool, const ColourArgs<S>&, S*, int32_t, int32_t);              \
  template void levels<S>(bool, bool, const S*, const double*, const double*, const double*,    \
                          const S*, const S*, const S*, int32_t, int32_t, S*, uint8_t);         \
  template void toneLut<S>(const S*, uint32_t, int32_t, int32_t, S*, uint8_t);                  \
  template std::array<std::array<uint32_t, 256>, 4> stats<S>(                                   \
      bool, bool, const S*, int32_t, int32_t, uint8_t, uint8_t, const double*, const double*,   \
      const double*);                                                                           \
  template std::vector<uint32_t> histogram<S>(bool, bool, const S*, int32_t, int32_t, uint8_t,  \
                                              uint8_t);                                         \
  template void aeMark<S>(uint32_t, int32_t, int32_t, int32_t, int32_t, S*, int32_t, int32_t,   \
                          uint8_t, uint8_t);
ZX_REF_STEPS(uint8_t)
ZX_REF_STEPS(uint16_t)

}  // namespace kernels::reference
