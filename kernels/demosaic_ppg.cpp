// PPG demosaic: green along the flattest direction, red and blue by hue transit over green.
#include <algorithm>
#include <cstdlib>
#include <type_traits>

#include "kernels/demosaic.h"
#include "kernels/demosaic_border.h"
#include "kernels/dispatch.h"
#include "kernels/ppg_row.h"

namespace kernels {
namespace {

// (L2 - L1) * (V3 - V1) of 16-bit samples leaves 32 bits, so those are computed in 64.
template <typename Sample>
using Wide = std::conditional_t<sizeof(Sample) == 1, int32_t, int64_t>;

// Hue transit: V at the middle of three positions from the greens L there and the V of the two
// ends. A strictly monotonic green has L3 != L1, so the division is safe.
template <typename Sample>
int32_t hueTransit(Wide<Sample> l1, Wide<Sample> l2, Wide<Sample> l3, Wide<Sample> v1,
                   Wide<Sample> v3) {
  if ((l1 < l2 && l2 < l3) || (l1 > l2 && l2 > l3))
    return static_cast<int32_t>(v1 + ((l2 - l1) * (v3 - v1)) / (l3 - l1));
  return static_cast<int32_t>(((v1 + v3) >> 1) + (2 * l2 - l1 - l3) / 4);
}

template <typename Sample>
Sample limit(int32_t v, uint32_t maxval) {
  return static_cast<Sample>(std::clamp(v, 0, static_cast<int32_t>(maxval)));
}

// Green at an interior red or blue site along the smallest of dN, dE, dW, dS (first on ties).
template <typename Sample>
Sample greenEstimate(const Sample* z, ptrdiff_t pitch, uint32_t maxval) {
  auto s = [&](int dx, int dy) -> int32_t { return z[dy * pitch + dx]; };
  const int32_t Z = s(0, 0), N = s(0, -1), S = s(0, 1), W = s(-1, 0), E = s(1, 0);
  const int32_t NN = s(0, -2), SS = s(0, 2), WW = s(-2, 0), EE = s(2, 0);
  const int32_t ns = std::abs(N - S), we = std::abs(W - E);
  const int32_t grad[4] = {ns + 2 * std::abs(NN - Z), we + 2 * std::abs(EE - Z),
                           we + 2 * std::abs(WW - Z), ns + 2 * std::abs(SS - Z)};
  const int32_t est[4] = {(3 * N + S + Z - NN) / 4, (3 * E + W + Z - EE) / 4,
                          (3 * W + E + Z - WW) / 4, (3 * S + N + Z - SS) / 4};
  int k = 0;
  for (int i = 1; i < 4; ++i)
    if (grad[i] < grad[k]) k = i;
  return limit<Sample>(est[k], maxval);
}

// Channel 1 of image row y after the first pass and the border fill: read back inside the band,
// worked out again for the rows next to it, which another band writes.
template <typename Sample>
struct GreenRow {
  const BorderFrame<Sample>* f;
  const Sample* written;  // output row, or null outside the band
  int32_t y;

  int32_t operator()(int32_t x) const {
    if (written) return written[size_t(x) * f->p + 1];
    const Sample* raw = f->raw + size_t(y) * f->w + x;
    if (f->site[4 * f->b + 2 * (x & 1) + (y & 1)] == 1) return *raw;
    if (x >= 2 && x < f->w - 2 && y >= 2 && y < f->h - 2)
      return greenEstimate(raw, f->w, f->maxval);
    return static_cast<int32_t>(borderGreen(*f, x, y));
  }
};

template <typename Sample>
using RowFn = int32_t (*)(const PpgRow<Sample>&, int32_t);

template <typename Sample>
RowFn<Sample> chooseGreenRow(Isa isa) {
  if (isa == Isa::Avx2) return static_cast<RowFn<Sample>>(&ppgGreenRowAvx2);
  return nullptr;  // the scalar loops do whole rows
}
template <typename Sample>
RowFn<Sample> chooseColourRow(Isa isa) {
  if (isa == Isa::Avx2) return static_cast<RowFn<Sample>>(&ppgColourRowAvx2);
  return nullptr;
}

template <typename Sample>
DispatchPointer<RowFn<Sample>> gGreenRow{&chooseGreenRow<Sample>};
template <typename Sample>
DispatchPointer<RowFn<Sample>> gColourRow{&chooseColourRow<Sample>};

// Row y as the vector bodies see it, with the green buffers they use.
template <typename Sample>
PpgRow<Sample> ppgRow(const BorderFrame<Sample>& f, int32_t y, Sample* greens, const Sample* up,
                      const Sample* down, RowDepthCache* depth, bool lastBlockOnly = false) {
  const uint8_t* site = f.site + 4 * f.b + (y & 1);  // [2 * (x & 1)]
  const bool greenEven = site[0] == 1;
  return {f.raw + size_t(y) * f.w,
          f.w,
          f.out + size_t(outputRow(y, f.h, f.rowOrder)) * f.stride,
          greens,
          up,
          down,
          f.w - 2,
          static_cast<int32_t>(f.maxval),
          greenEven,
          greenEven ? site[2] : site[0],
          f.p,
          y,
          depth,
          lastBlockOnly};
}

// Three rows of first-pass greens at red and blue sites (by column / 2) for the vector colour
// pass, on the stack; wider frames take the scalar colour pass.
constexpr int32_t kGreenRingWidth = 16384;
template <typename Sample>
struct GreenRing {
  Sample rows[3][kGreenRingWidth / 2 + 2];
  Sample* row(int32_t y) { return rows[y % 3]; }
};

// Copies row y's output greens at its red and blue columns below 2 and from `from` on into its
// buffer: the columns the vector green pass did not write.
template <typename Sample>
void keepGreens(const BorderFrame<Sample>& f, int32_t y, int32_t from, Sample* ring) {
  const Sample* out = f.out + size_t(outputRow(y, f.h, f.rowOrder)) * f.stride;
  const int32_t first = f.site[4 * f.b + (y & 1)] == 1 ? 1 : 0;  // the row's first colour column
  ring[0] = out[size_t(first) * f.p + 1];
  from = std::max(from, 2);
  for (int32_t x = from + ((from ^ first) & 1); x < f.w; x += 2)
    ring[x >> 1] = out[size_t(x) * f.p + 1];
}

// First pass on interior row y from column x: green everywhere, own colour at red and blue
// sites.
template <typename Sample>
void greenRow(const BorderFrame<Sample>& f, int32_t y, int32_t x) {
  const uint8_t* site = f.site + 4 * f.b + (y & 1);
  const Sample* row = f.raw + size_t(y) * f.w;
  Sample* out = f.out + size_t(outputRow(y, f.h, f.rowOrder)) * f.stride;
  for (; x < f.w - 2; ++x) {
    const uint8_t c = site[2 * (x & 1)];
    Sample* px = out + size_t(x) * f.p;
    if (c == 1) {
      px[1] = row[x];
    } else {
      px[1] = greenEstimate(row + x, f.w, f.maxval);
      px[c] = row[x];
    }
  }
}

// Second and third passes on interior row y from column x; they read greens and raw samples
// only.
template <typename Sample>
void colourRow(const BorderFrame<Sample>& f, int32_t y, const GreenRow<Sample>& up,
               const GreenRow<Sample>& here, const GreenRow<Sample>& down, int32_t x) {
  const uint8_t* site = f.site + 4 * f.b;
  const Sample* row = f.raw + size_t(y) * f.w;
  const ptrdiff_t pitch = f.w;
  Sample* out = f.out + size_t(outputRow(y, f.h, f.rowOrder)) * f.stride;
  for (; x < f.w - 2; ++x) {
    const Sample* z = row + x;
    const int32_t Z = *z, Gz = here(x);
    const uint8_t c = site[2 * (x & 1) + (y & 1)];
    Sample* px = out + size_t(x) * f.p;
    if (c == 1) {
      const uint8_t chX = site[2 * ((x - 1) & 1) + (y & 1)];
      const uint8_t chY = site[2 * (x & 1) + ((y - 1) & 1)];
      px[chX] =
          limit<Sample>(hueTransit<Sample>(here(x - 1), Gz, here(x + 1), z[-1], z[1]), f.maxval);
      px[chY] =
          limit<Sample>(hueTransit<Sample>(up(x), Gz, down(x), z[-pitch], z[pitch]), f.maxval);
      continue;
    }
    const int32_t gNE = up(x + 1), gNW = up(x - 1), gSE = down(x + 1), gSW = down(x - 1);
    const int32_t NE = z[1 - pitch], NW = z[-1 - pitch], SE = z[1 + pitch], SW = z[-1 + pitch];
    const int32_t dne = std::abs(Z - z[2 * pitch - 2]) + std::abs(z[-2 * pitch + 2] - Z) +
                        std::abs(Gz - gSW) + std::abs(gNE - Gz) + std::abs(NE - SW);
    const int32_t dnw = std::abs(Z - z[2 * pitch + 2]) + std::abs(z[-2 * pitch - 2] - Z) +
                        std::abs(NW - SE) + std::abs(Gz - gSE) + std::abs(gNW - Gz);
    const int32_t o = dne > dnw ? hueTransit<Sample>(gNW, Gz, gSE, NW, SE)
                                : hueTransit<Sample>(gNE, Gz, gSW, NE, SW);
    px[2 - c] = limit<Sample>(o, f.maxval);
  }
}

template <typename Sample>
void demosaicPpg(uint32_t b, const uint8_t* siteTable, int32_t w, int32_t h, int32_t y0, int32_t y1,
                 const Sample* raw, Sample* out, uint8_t bits, uint8_t p, uint8_t rowOrder) {
  if (!raw || !out || !colourPixel(p) || w < 4 || h < 4 || !bayerSites(siteTable, b)) return;
  y0 = std::max(y0, 0), y1 = std::min(y1, h);
  if (y0 >= y1) return;
  const BorderFrame<Sample> f{
      siteTable,    b, raw, out, w, h, rowStride<Sample>(p, w), sampleMax<Sample>(bits), p,
      rowOrder != 0};
  const int32_t first = std::max(y0, 2), end = std::min(y1, h - 2);
  borderRows(f, y0, std::min(y1, 2));
  borderRows(f, std::max(y0, h - 2), y1);
  auto green = [&](int32_t y) {
    const bool mine = y >= y0 && y < y1;
    return GreenRow<Sample>{
        &f, mine ? out + size_t(outputRow(y, h, f.rowOrder)) * f.stride : nullptr, y};
  };
  const RowFn<Sample> greenVec = gGreenRow<Sample>.get(), colourVec = gColourRow<Sample>.get();
  GreenRing<Sample> ring;
  RowDepthCache depth;
  const bool ringOn = colourVec && w <= kGreenRingWidth;
  auto greens = [&](int32_t y) { return ringOn ? ring.row(y) : nullptr; };
  // The vector colour body reads buffered greens, which only rows the band holds have.
  auto colourVecOn = [&](int32_t y) { return ringOn && y - 1 >= y0 && y + 1 < y1; };
  // Row y's first-pass output is read back only by scalar colour passes: of rows y - 1 .. y + 1
  // where the vector body is off, and next to its blocks' end.
  auto scalarReads = [&](int32_t y) {
    for (int32_t k = std::max(y - 1, first); k <= std::min(y + 1, end - 1); ++k)
      if (!colourVecOn(k)) return true;
    return false;
  };
  auto colour = [&](int32_t y) {
    const GreenRow<Sample> up = green(y - 1), down = green(y + 1);
    const bool vec = colourVecOn(y);
    const int32_t x =
        vec ? colourVec(ppgRow(f, y, greens(y), greens(y - 1), greens(y + 1), &depth), 2) : 2;
    colourRow(f, y, up, green(y), down, x);
  };
  // A border row above the first interior row that the band holds: its greens are the fill's.
  if (ringOn && first < end && first - 1 >= y0) keepGreens(f, first - 1, 0, ring.row(first - 1));
  // The colour passes follow the green pass one row behind, while its rows are in the cache.
  for (int32_t y = first; y < end; ++y) {
    const int32_t x =
        greenVec
            ? greenVec(ppgRow<Sample>(f, y, greens(y), nullptr, nullptr, &depth, !scalarReads(y)),
                       2)
            : 2;
    greenRow(f, y, x);
    borderEnds(f, y);
    if (ringOn) keepGreens(f, y, x, ring.row(y));
    if (y > first) colour(y - 1);
  }
  if (first < end) {
    if (ringOn && end < y1) keepGreens(f, end, 0, ring.row(end));
    colour(end - 1);
  }
}

}  // namespace

void DemosaicPpg8Bgr(uint32_t b, const uint8_t* s, int32_t w, int32_t h, const uint8_t* raw,
                     uint8_t* out, uint8_t bits, uint8_t p, uint8_t rowOrder) {
  demosaicPpg<uint8_t>(b, s, w, h, 0, h, raw, out, bits, p, rowOrder);
}
void DemosaicPpg8Rgb(uint32_t b, const uint8_t* s, int32_t w, int32_t h, const uint8_t* raw,
                     uint8_t* out, uint8_t bits, uint8_t p, uint8_t rowOrder) {
  demosaicPpg<uint8_t>(b, s, w, h, 0, h, raw, out, bits, p, rowOrder);
}
void DemosaicPpg16Bgr(uint32_t b, const uint8_t* s, int32_t w, int32_t h, const uint16_t* raw,
                      uint16_t* out, uint8_t bits, uint8_t p, uint8_t rowOrder) {
  demosaicPpg<uint16_t>(b, s, w, h, 0, h, raw, out, bits, p, rowOrder);
}
void DemosaicPpg16Rgb(uint32_t b, const uint8_t* s, int32_t w, int32_t h, const uint16_t* raw,
                      uint16_t* out, uint8_t bits, uint8_t p, uint8_t rowOrder) {
  demosaicPpg<uint16_t>(b, s, w, h, 0, h, raw, out, bits, p, rowOrder);
}

void DemosaicPpgRows8(bool, uint32_t b, const uint8_t* s, int32_t w, int32_t h, int32_t y0,
                      int32_t y1, const uint8_t* raw, uint8_t* out, uint8_t bits, uint8_t p,
                      uint8_t rowOrder) {
  demosaicPpg<uint8_t>(b, s, w, h, y0, y1, raw, out, bits, p, rowOrder);
}
void DemosaicPpgRows16(bool, uint32_t b, const uint8_t* s, int32_t w, int32_t h, int32_t y0,
                       int32_t y1, const uint16_t* raw, uint16_t* out, uint8_t bits, uint8_t p,
                       uint8_t rowOrder) {
  demosaicPpg<uint16_t>(b, s, w, h, y0, y1, raw, out, bits, p, rowOrder);
}

}  // namespace kernels
