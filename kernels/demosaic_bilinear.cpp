// Bilinear demosaic: border fill, then each interior site from its neighbours' integer means.
#include <algorithm>

#include "kernels/bilinear_row.h"
#include "kernels/demosaic.h"
#include "kernels/demosaic_border.h"
#include "kernels/dispatch.h"

namespace kernels {
namespace {

template <typename Sample>
using RowFn = int32_t (*)(const BilinearRow<Sample>&, int32_t);

template <typename Sample>
RowFn<Sample> chooseRow(Isa isa) {
  if (isa == Isa::Avx2) return static_cast<RowFn<Sample>>(&bilinearRowAvx2);
  return nullptr;  // the scalar loop does the whole row
}

template <typename Sample>
DispatchPointer<RowFn<Sample>> gRow{&chooseRow<Sample>};

// Green site: green from itself and its upper-left twin, row colour across, other colour
// above/below.
template <typename Sample>
inline void greenSite(const BilinearRow<Sample>& r, int32_t x, int rc) {
  const Sample *u = r.up, *c = r.cur, *d = r.dn;
  Sample* px = r.out + size_t(x) * r.p;
  px[1] = static_cast<Sample>((c[x] + u[x - 1]) >> 1);
  px[rc] = static_cast<Sample>((c[x - 1] + c[x + 1]) >> 1);
  px[2 - rc] = static_cast<Sample>((u[x] + d[x]) >> 1);
}

// Red or blue site: itself, green from the cross, the other colour from the diagonals.
template <typename Sample>
inline void colourSite(const BilinearRow<Sample>& r, int32_t x, int rc) {
  const Sample *u = r.up, *c = r.cur, *d = r.dn;
  Sample* px = r.out + size_t(x) * r.p;
  px[rc] = c[x];
  px[1] = static_cast<Sample>((uint32_t{u[x]} + d[x] + c[x - 1] + c[x + 1]) >> 2);
  px[2 - rc] = static_cast<Sample>((uint32_t{u[x - 1]} + u[x + 1] + d[x - 1] + d[x + 1]) >> 2);
}

template <typename Sample>
void bilinearRowScalar(const BilinearRow<Sample>& r, int32_t x) {
  const int rc = r.rowChannel;
  if (x < r.xEnd && ((x & 1) == 0) != (r.greenEven != 0)) colourSite(r, x++, rc);
  // From here x is a green site: green and colour alternate.
  for (; x + 1 < r.xEnd; x += 2) {
    greenSite(r, x, rc);
    colourSite(r, x + 1, rc);
  }
  if (x < r.xEnd) greenSite(r, x, rc);
}

// Raw rows y0 .. y1 - 1: the border fill's rows and side pixels among them, then the interior.
template <typename Sample, typename Order>
void demosaicBilinear(uint32_t b, const uint8_t* siteTable, int32_t w, int32_t h, int32_t y0,
                      int32_t y1, const Sample* raw, Sample* out, uint8_t bits, uint8_t p,
                      uint8_t rowOrder) {
  if (!siteTable || !raw || !out || b > 3 || !colourPixel(p) || w < 4 || h < 4) return;
  if (!validSiteTable(siteTable)) return;
  y0 = std::max(y0, 0), y1 = std::min(y1, h);
  // The border fill, its side pixels taken row by row with the interior.
  const size_t stride = rowStride<Sample>(p, w);
  const BorderFrame<Sample> border{
      siteTable, b, raw, out, w, h, stride, sampleMax<Sample>(bits), p, rowOrder != 0};
  borderRows(border, y0, std::min(y1, 2));
  const RowFn<Sample> vec = gRow<Sample>.get();
  for (int32_t y = std::max(y0, 2), end = std::min(y1, h - 2); y < end; ++y) {
    const Sample* cur = raw + size_t(y) * w;
    const uint8_t* sites = kBayerColour[b][y & 1];
    const bool greenEven = sites[0] == 1;
    const uint8_t colour = greenEven ? sites[1] : sites[0];  // the row's red or blue
    BilinearRow<Sample> r{cur - w,
                          cur,
                          cur + w,
                          out + size_t(outputRow(y, h, rowOrder != 0)) * stride,
                          w - 2,
                          greenEven,
                          static_cast<uint8_t>(colour == 0 ? Order::kRed : Order::kBlue),
                          p};
    const int32_t x = vec ? vec(r, 2) : 2;
    bilinearRowScalar(r, x);
    borderEnds(border, y);  // after the interior: its rows are in the cache by now
  }
  borderRows(border, std::max(y0, h - 2), y1);
}

}  // namespace

void DemosaicBilinear8Bgr(uint32_t b, const uint8_t* s, int32_t w, int32_t h, const uint8_t* raw,
                          uint8_t* out, uint8_t bits, uint8_t p, uint8_t rowOrder) {
  demosaicBilinear<uint8_t, Bgr>(b, s, w, h, 0, h, raw, out, bits, p, rowOrder);
}
void DemosaicBilinear8Rgb(uint32_t b, const uint8_t* s, int32_t w, int32_t h, const uint8_t* raw,
                          uint8_t* out, uint8_t bits, uint8_t p, uint8_t rowOrder) {
  demosaicBilinear<uint8_t, Rgb>(b, s, w, h, 0, h, raw, out, bits, p, rowOrder);
}
void DemosaicBilinear16Bgr(uint32_t b, const uint8_t* s, int32_t w, int32_t h, const uint16_t* raw,
                           uint16_t* out, uint8_t bits, uint8_t p, uint8_t rowOrder) {
  demosaicBilinear<uint16_t, Bgr>(b, s, w, h, 0, h, raw, out, bits, p, rowOrder);
}
void DemosaicBilinear16Rgb(uint32_t b, const uint8_t* s, int32_t w, int32_t h, const uint16_t* raw,
                           uint16_t* out, uint8_t bits, uint8_t p, uint8_t rowOrder) {
  demosaicBilinear<uint16_t, Rgb>(b, s, w, h, 0, h, raw, out, bits, p, rowOrder);
}

void DemosaicBilinearRows8(bool bgr, uint32_t b, const uint8_t* s, int32_t w, int32_t h, int32_t y0,
                           int32_t y1, const uint8_t* raw, uint8_t* out, uint8_t bits, uint8_t p,
                           uint8_t rowOrder) {
  (bgr ? demosaicBilinear<uint8_t, Bgr> : demosaicBilinear<uint8_t, Rgb>)(b, s, w, h, y0, y1, raw,
                                                                          out, bits, p, rowOrder);
}
void DemosaicBilinearRows16(bool bgr, uint32_t b, const uint8_t* s, int32_t w, int32_t h,
                            int32_t y0, int32_t y1, const uint16_t* raw, uint16_t* out,
                            uint8_t bits, uint8_t p, uint8_t rowOrder) {
  (bgr ? demosaicBilinear<uint16_t, Bgr> : demosaicBilinear<uint16_t, Rgb>)(b, s, w, h, y0, y1, raw,
                                                                            out, bits, p, rowOrder);
}

}  // namespace kernels
