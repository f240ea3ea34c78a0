// Per-colour tables and per-position gain and dark planes on a finished 8-bit image.
#include "kernels/colour_planes.h"

#include <algorithm>
#include <cstddef>

#include "kernels/colour_tables_simd.h"
#include "kernels/dispatch.h"

namespace kernels {
namespace {

using TablesBody = size_t (*)(const uint8_t* const[3], uint8_t*, size_t);

TablesBody chooseTables(Isa isa) {
  return isa == Isa::Avx2 ? &planes::colourTables3Avx2 : nullptr;
}
DispatchPointer<TablesBody> gTablesBody{&chooseTables};

// Calls step(byte, plane, pixel index) for the three colour bytes of every pixel: byte 2 - k
// takes plane k, whatever the byte order.
template <typename Step>
void eachPlaneByte(const Layout& l, int32_t w, int32_t h, uint8_t* image, const Step& step) {
  if (!image || w <= 0 || h <= 0 || l.samplesPerPixel < 3) return;
  const uint8_t p = l.samplesPerPixel;
  const size_t stride = rowStride<uint8_t>(p, w);
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* row = image + size_t(y) * stride;
    const size_t base = size_t(y) * size_t(w);
    for (int32_t x = 0; x < w; ++x) {
      uint8_t* px = row + size_t(x) * p;
      for (size_t k = 0; k < 3; ++k) step(px[2 - k], k, base + size_t(x));
    }
  }
}

template <typename T>
bool complete(const BytePlanes<T>& planes) {
  return planes[0] && planes[1] && planes[2];
}

}  // namespace

void ApplyColourTables(const Layout& l, int32_t w, int32_t h, uint8_t* image,
                       ColourPlanes<uint8_t> tables) {
  if (!tables.red || !tables.green || !tables.blue) return;
  if (!image || w <= 0 || h <= 0 || l.samplesPerPixel < 3) return;
  // The table of each byte position, chosen once rather than per byte.
  const uint8_t* t0 = l.byteOrder ? tables.blue : tables.red;
  const uint8_t* t1 = tables.green;
  const uint8_t* t2 = l.byteOrder ? tables.red : tables.blue;
  const uint8_t* const byPosition[3] = {t0, t1, t2};
  const uint8_t p = l.samplesPerPixel;
  const size_t stride = rowStride<uint8_t>(p, w);
  // The vector body serves 3-byte pixels only; a fourth sample would need keeping.
  const TablesBody body = p == 3 ? gTablesBody.get() : nullptr;
  // Unpadded rows are one long row: the vector body sets up once and leaves one tail.
  const bool packed = stride == size_t(p) * size_t(w);
  const size_t rows = packed ? 1 : size_t(h), pixels = packed ? size_t(w) * size_t(h) : size_t(w);
  for (size_t y = 0; y < rows; ++y) {
    uint8_t* row = image + y * stride;
    const size_t done = body ? body(byPosition, row, pixels) : 0;
    uint8_t* px = row + done * p;
    for (size_t x = done; x < pixels; ++x, px += p) {
      px[0] = t0[px[0]];
      px[1] = t1[px[1]];
      px[2] = t2[px[2]];
    }
  }
}

void ApplyGainPlanes(const Layout& l, int32_t w, int32_t h, uint8_t* image,
                     BytePlanes<uint32_t> gains) {
  if (!complete(gains)) return;
  // In 64 bits: a gain above 2^24 would wrap a 32-bit product.
  eachPlaneByte(l, w, h, image, [&](uint8_t& v, size_t k, size_t i) {
    v = uint8_t(std::min<uint64_t>(255, (uint64_t(v) * gains[k][i]) >> 16));
  });
}

void SubtractDarkPlanes(const Layout& l, int32_t w, int32_t h, uint8_t* image,
                        BytePlanes<uint8_t> dark) {
  if (!complete(dark)) return;
  eachPlaneByte(l, w, h, image, [&](uint8_t& v, size_t k, size_t i) {
    const uint8_t d = dark[k][i];
    v = v > d ? uint8_t(v - d) : 0;
  });
}

}  // namespace kernels
