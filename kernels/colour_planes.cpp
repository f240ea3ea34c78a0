// Per-colour tables and per-position gain and dark planes on a finished 8-bit image.
#include "kernels/colour_planes.h"

#include <algorithm>
#include <cstddef>

namespace kernels {
namespace {

// Calls step(byte, colour, pixel index) for the three colour bytes of every pixel.
template <typename Step>
void eachColourByte(const Layout& l, int32_t w, int32_t h, uint8_t* image, const Step& step) {
  if (!image || w <= 0 || h <= 0 || l.samplesPerPixel < 3) return;
  const uint8_t p = l.samplesPerPixel;
  const size_t stride = rowStride<uint8_t>(p, w);
  // Colour of memory byte 0 and 2: red first unless the order is blue, green, red.
  const int first = l.byteOrder ? 2 : 0, last = 2 - first;
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* row = image + size_t(y) * stride;
    const size_t base = size_t(y) * size_t(w);
    for (int32_t x = 0; x < w; ++x) {
      uint8_t* px = row + size_t(x) * p;
      step(px[0], first, base + size_t(x));
      step(px[1], 1, base + size_t(x));
      step(px[2], last, base + size_t(x));
    }
  }
}

template <typename T>
const T* plane(const ColourPlanes<T>& c, int colour) {
  return colour == 0 ? c.red : colour == 1 ? c.green : c.blue;
}

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
  eachColourByte(l, w, h, image,
                 [&](uint8_t& v, int colour, size_t) { v = plane(tables, colour)[v]; });
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
