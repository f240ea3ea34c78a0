// Per-colour tables, gain planes and dark planes on a finished 8-bit image.
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

}  // namespace

void ApplyColourTables(const Layout& l, int32_t w, int32_t h, uint8_t* image,
                       ColourPlanes<uint8_t> tables) {
  if (!tables.red || !tables.green || !tables.blue) return;
  eachColourByte(l, w, h, image,
                 [&](uint8_t& v, int colour, size_t) { v = plane(tables, colour)[v]; });
}

void ApplyGainPlanes(const Layout& l, int32_t w, int32_t h, uint8_t* image,
                     ColourPlanes<uint32_t> gains) {
  if (!gains.red || !gains.green || !gains.blue) return;
  eachColourByte(l, w, h, image, [&](uint8_t& v, int colour, size_t i) {
    v = uint8_t(std::min<uint64_t>(255, (uint64_t(v) * plane(gains, colour)[i]) >> 16));
  });
}

void SubtractDarkPlanes(const Layout& l, int32_t w, int32_t h, uint8_t* image,
                        ColourPlanes<uint8_t> dark) {
  if (!dark.red || !dark.green || !dark.blue) return;
  eachColourByte(l, w, h, image, [&](uint8_t& v, int colour, size_t i) {
    const uint8_t d = plane(dark, colour)[i];
    v = v > d ? uint8_t(v - d) : 0;
  });
}

}  // namespace kernels
