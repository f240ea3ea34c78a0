// VNG demosaic: each missing colour from the colour differences of the flattest directions.
#include <algorithm>
#include <cstdlib>

#include "kernels/demosaic.h"
#include "kernels/demosaic_border.h"
#include "kernels/dispatch.h"
#include "kernels/vng_row.h"

namespace kernels {
namespace {

// The 5 x 5 raw window around one interior pixel.
template <typename Sample>
struct Window {
  const Sample* z;  // the pixel itself
  ptrdiff_t pitch;  // samples per raw row
  int32_t operator()(int dx, int dy) const { return z[dy * pitch + dx]; }
};

inline int32_t diff(int32_t a, int32_t b) {
  return std::abs(a - b);
}
inline int32_t half(int32_t a, int32_t b) {
  return std::abs(a - b) >> 1;
}

// Eight directions in the fixed order N, E, W, S, NE, SE, NW, SW: a gradient and three
// estimates each. The smallest gradient is always within the threshold, so n >= 1.
struct Directions {
  int32_t grad[8];
  int32_t est[3][8];

  // Differences of estimates 1 and 2 from estimate 0, averaged over the selected directions.
  void average(int32_t& d1, int32_t& d2) const {
    const int32_t lo = *std::min_element(grad, grad + 8);
    const int32_t hi = *std::max_element(grad, grad + 8);
    const int32_t t = (hi >> 1) + lo;
    int32_t s0 = 0, s1 = 0, s2 = 0, n = 0;
    for (int k = 0; k < 8; ++k) {
      if (grad[k] > t) continue;
      s0 += est[0][k], s1 += est[1][k], s2 += est[2][k], ++n;
    }
    d1 = (s1 - s0) / n, d2 = (s2 - s0) / n;
  }
};

// Red or blue site: estimates of its own colour, green and the other colour.
template <typename Sample>
Directions colourSite(const Window<Sample>& s) {
  const int32_t Z = s(0, 0), N = s(0, -1), S = s(0, 1), W = s(-1, 0), E = s(1, 0);
  const int32_t NW = s(-1, -1), NE = s(1, -1), SW = s(-1, 1), SE = s(1, 1);
  const int32_t NN = s(0, -2), SS = s(0, 2), WW = s(-2, 0), EE = s(2, 0);
  const int32_t NNW = s(-1, -2), NNE = s(1, -2), SSW = s(-1, 2), SSE = s(1, 2);
  const int32_t NWW = s(-2, -1), NEE = s(2, -1), SWW = s(-2, 1), SEE = s(2, 1);
  const int32_t NNWW = s(-2, -2), NNEE = s(2, -2), SSWW = s(-2, 2), SSEE = s(2, 2);
  return {{diff(NN, Z) + diff(N, S) + half(NW, SW) + half(NE, SE) + half(NNW, W) + half(NNE, E),
           diff(EE, Z) + diff(E, W) + half(NE, NW) + half(SE, SW) + half(NEE, N) + half(SEE, S),
           diff(WW, Z) + diff(W, E) + half(NW, NE) + half(SW, SE) + half(NWW, N) + half(SWW, S),
           diff(SS, Z) + diff(S, N) + half(SW, NW) + half(SE, NE) + half(SSW, W) + half(SSE, E),
           diff(NNEE, Z) + diff(NE, SW) + half(N, W) + half(E, S) + half(NNE, N) + half(NEE, E),
           diff(SSEE, Z) + diff(SE, NW) + half(E, N) + half(S, W) + half(SEE, E) + half(SSE, S),
           diff(NNWW, Z) + diff(NW, SE) + half(W, S) + half(N, E) + half(NWW, W) + half(NNW, N),
           diff(SSWW, Z) + diff(SW, NE) + half(S, E) + half(W, N) + half(SSW, S) + half(SWW, W)},
          {{(NN + Z) >> 1, (EE + Z) >> 1, (WW + Z) >> 1, (SS + Z) >> 1, (NNEE + Z) >> 1,
            (SSEE + Z) >> 1, (NNWW + Z) >> 1, (SSWW + Z) >> 1},
           {N, E, W, S, (N + NNE + E + NEE) >> 2, (S + SSE + E + SEE) >> 2,
            (N + NNW + W + NWW) >> 2, (S + SSW + W + SWW) >> 2},
           {(NW + NE) >> 1, (NE + SE) >> 1, (NW + SW) >> 1, (SW + SE) >> 1, NE, SE, NW, SW}}};
}

// Green site: estimates of green, the row neighbours' colour X and the column neighbours' Y.
template <typename Sample>
Directions greenSite(const Window<Sample>& s) {
  const int32_t Z = s(0, 0), N = s(0, -1), S = s(0, 1), W = s(-1, 0), E = s(1, 0);
  const int32_t NW = s(-1, -1), NE = s(1, -1), SW = s(-1, 1), SE = s(1, 1);
  const int32_t NN = s(0, -2), SS = s(0, 2), WW = s(-2, 0), EE = s(2, 0);
  const int32_t NNW = s(-1, -2), NNE = s(1, -2), SSW = s(-1, 2), SSE = s(1, 2);
  const int32_t NWW = s(-2, -1), NEE = s(2, -1), SWW = s(-2, 1), SEE = s(2, 1);
  const int32_t NNWW = s(-2, -2), NNEE = s(2, -2), SSWW = s(-2, 2), SSEE = s(2, 2);
  return {{diff(NN, Z) + diff(N, S) + half(NW, SW) + half(NE, SE) + half(NNW, W) + half(NNE, E),
           diff(EE, Z) + diff(E, W) + half(NE, NW) + half(SE, SW) + half(NEE, N) + half(SEE, S),
           diff(WW, Z) + diff(W, E) + half(NW, NE) + half(SW, SE) + half(NWW, N) + half(SWW, S),
           diff(SS, Z) + diff(S, N) + half(SW, NW) + half(SE, NE) + half(SSW, W) + half(SSE, E),
           diff(NNEE, Z) + diff(NE, SW) + diff(NNE, W) + diff(NEE, S),
           diff(SSEE, Z) + diff(SE, NW) + diff(SSE, W) + diff(SEE, N),
           diff(NNWW, Z) + diff(NW, SE) + diff(NNW, E) + diff(NWW, S),
           diff(SSWW, Z) + diff(SW, NE) + diff(SSW, E) + diff(SWW, N)},
          {{(Z + NN) >> 1, (Z + EE) >> 1, (Z + WW) >> 1, (Z + SS) >> 1, NE, SE, NW, SW},
           {(NNW + NNE + W + E) >> 2, E, W, (SSW + SSE + W + E) >> 2, (NNE + E) >> 1,
            (SSE + E) >> 1, (NNW + W) >> 1, (SSW + W) >> 1},
           {N, (NEE + SEE + N + S) >> 2, (NWW + SWW + N + S) >> 2, S, (NEE + N) >> 1,
            (SEE + S) >> 1, (NWW + N) >> 1, (SWW + S) >> 1}}};
}

template <typename Sample>
Sample limit(int32_t v, int32_t maxval) {
  return static_cast<Sample>(std::clamp(v, 0, maxval));
}

template <typename Sample>
void vngRowScalar(const VngRow<Sample>& r, int32_t x) {
  const int rc = r.rowChannel;
  for (; x < r.xEnd; ++x) {
    const Window<Sample> s{r.cur + x, r.pitch};
    const int32_t z = s(0, 0);
    Sample* px = r.out + size_t(x) * r.p;
    int32_t d1, d2;
    if (((x & 1) == 0) == (r.greenEven != 0)) {
      greenSite(s).average(d1, d2);
      px[1] = static_cast<Sample>(z);
      px[rc] = limit<Sample>(z + d1, r.maxval);
    } else {
      colourSite(s).average(d1, d2);
      px[rc] = static_cast<Sample>(z);
      px[1] = limit<Sample>(z + d1, r.maxval);
    }
    px[2 - rc] = limit<Sample>(z + d2, r.maxval);
  }
}

template <typename Sample>
using RowFn = int32_t (*)(const VngRow<Sample>&, int32_t);

template <typename Sample>
RowFn<Sample> chooseRow(Isa isa) {
  if (isa == Isa::Avx2) return static_cast<RowFn<Sample>>(&vngRowAvx2);
  return nullptr;  // the scalar loop does the whole row
}

template <typename Sample>
DispatchPointer<RowFn<Sample>> gRow{&chooseRow<Sample>};

// Interior pixels of raw row y; every output pixel depends on the raw frame only.
template <typename Sample>
void vngRow(const BorderFrame<Sample>& f, int32_t y, RowFn<Sample> vec) {
  const uint8_t* site = f.site + 4 * f.b + (y & 1);  // [2 * (x & 1)]
  const bool greenEven = site[0] == 1;
  const VngRow<Sample> r{f.raw + size_t(y) * f.w,
                         f.w,
                         f.out + size_t(outputRow(y, f.h, f.rowOrder)) * f.stride,
                         f.w - 2,
                         static_cast<int32_t>(f.maxval),
                         greenEven,
                         greenEven ? site[2] : site[0],
                         f.p};
  vngRowScalar(r, vec ? vec(r, 2) : 2);
}

template <typename Sample>
void demosaicVng(uint32_t b, const uint8_t* siteTable, int32_t w, int32_t h, int32_t y0, int32_t y1,
                 const Sample* raw, Sample* out, uint8_t bits, uint8_t p, uint8_t rowOrder) {
  if (!raw || !out || !colourPixel(p) || w < 4 || h < 4 || !bayerSites(siteTable, b)) return;
  y0 = std::max(y0, 0), y1 = std::min(y1, h);
  const BorderFrame<Sample> f{
      siteTable,    b, raw, out, w, h, rowStride<Sample>(p, w), sampleMax<Sample>(bits), p,
      rowOrder != 0};
  borderRows(f, y0, std::min(y1, 2));
  const RowFn<Sample> vec = gRow<Sample>.get();
  for (int32_t y = std::max(y0, 2), end = std::min(y1, h - 2); y < end; ++y) {
    vngRow(f, y, vec);
    borderEnds(f, y);
  }
  borderRows(f, std::max(y0, h - 2), y1);
}

}  // namespace

void DemosaicVng8Bgr(uint32_t b, const uint8_t* s, int32_t w, int32_t h, const uint8_t* raw,
                     uint8_t* out, uint8_t bits, uint8_t p, uint8_t rowOrder) {
  demosaicVng<uint8_t>(b, s, w, h, 0, h, raw, out, bits, p, rowOrder);
}
void DemosaicVng8Rgb(uint32_t b, const uint8_t* s, int32_t w, int32_t h, const uint8_t* raw,
                     uint8_t* out, uint8_t bits, uint8_t p, uint8_t rowOrder) {
  demosaicVng<uint8_t>(b, s, w, h, 0, h, raw, out, bits, p, rowOrder);
}
void DemosaicVng16Bgr(uint32_t b, const uint8_t* s, int32_t w, int32_t h, const uint16_t* raw,
                      uint16_t* out, uint8_t bits, uint8_t p, uint8_t rowOrder) {
  demosaicVng<uint16_t>(b, s, w, h, 0, h, raw, out, bits, p, rowOrder);
}
void DemosaicVng16Rgb(uint32_t b, const uint8_t* s, int32_t w, int32_t h, const uint16_t* raw,
                      uint16_t* out, uint8_t bits, uint8_t p, uint8_t rowOrder) {
  demosaicVng<uint16_t>(b, s, w, h, 0, h, raw, out, bits, p, rowOrder);
}

void DemosaicVngRows8(bool, uint32_t b, const uint8_t* s, int32_t w, int32_t h, int32_t y0,
                      int32_t y1, const uint8_t* raw, uint8_t* out, uint8_t bits, uint8_t p,
                      uint8_t rowOrder) {
  demosaicVng<uint8_t>(b, s, w, h, y0, y1, raw, out, bits, p, rowOrder);
}
void DemosaicVngRows16(bool, uint32_t b, const uint8_t* s, int32_t w, int32_t h, int32_t y0,
                       int32_t y1, const uint16_t* raw, uint16_t* out, uint8_t bits, uint8_t p,
                       uint8_t rowOrder) {
  demosaicVng<uint16_t>(b, s, w, h, y0, y1, raw, out, bits, p, rowOrder);
}

}  // namespace kernels
