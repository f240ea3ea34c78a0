// Packed YUV 4:2:2 to RGB by table lookups, into the state's padded rows and byte order.
#include <algorithm>

#include "kernels/dispatch.h"
#include "kernels/output.h"
#include "kernels/yuv422_simd.h"
#include "platform/cpu.h"

namespace kernels {
namespace {

using VectorFn = size_t (*)(const uint8_t*, uint8_t*, size_t, bool, bool);
VectorFn chooseVector(Isa isa) {
  // Every processor with SSE4.1 also has SSSE3, which the shuffles need.
  static const bool ssse3 = platform::DetectCpuFeatures().sse41;
  if (isa == Isa::Avx2) return &yuv::toRgb3Avx2;
  return isa != Isa::Scalar && ssse3 ? &yuv::toRgb3Ssse3 : nullptr;
}
DispatchPointer<VectorFn> gVector{&chooseVector};
using TablesFn = size_t (*)(const uint8_t*, uint8_t*, size_t, bool, bool, const uint8_t* const[3]);
TablesFn chooseTables(Isa isa) {
  return isa == Isa::Avx2 ? &yuv::toRgb3TablesAvx2 : nullptr;
}
DispatchPointer<TablesFn> gTables{&chooseTables};

// Byte offsets inside a four-byte group.
struct GroupLayout {
  uint8_t u, v, y[2];  // y[0] the first pixel's luma
};
constexpr GroupLayout kFormat6{1, 0, {3, 2}};
constexpr GroupLayout kFormat11{0, 2, {1, 3}};

inline uint8_t clampByte(int32_t v) {
  return static_cast<uint8_t>(std::clamp(v, 0, 255));
}

// Groups run on across rows, so an odd width starts every other row inside a group; the vector
// body (3-byte pixels only) picks up at the first group boundary of each row. tab: the table of
// each byte position, or null.
template <typename Order>
void convertRows(const YuvTables& t, const GroupLayout& g, const uint8_t* packed, uint8_t* out,
                 int32_t w, int32_t h, uint8_t p, const uint8_t* const* tab) {
  const size_t stride = rowStride<uint8_t>(p, w);
  const size_t pixels = size_t(w) * size_t(h) / 2 * 2;  // an odd last pixel has no group
  const TablesFn vecTables = p == 3 && tab ? gTables.get() : nullptr;
  // Without a body that applies the tables, a plain body converts and a byte loop maps.
  const VectorFn vec = p == 3 && !vecTables ? gVector.get() : nullptr;
  const bool alt = &g == &kFormat11, bgr = Order::kBlue == 0;
  auto put = [&](uint8_t* px, int k, int32_t v) {
    const uint8_t b = clampByte(v);
    px[k] = tab ? tab[k][b] : b;
  };
  auto one = [&](size_t i, uint8_t* px) {
    const uint8_t* grp = packed + (i / 2) * 4;
    const int32_t Y = t.luma[grp[g.y[i & 1]]], U = grp[g.u], V = grp[g.v];
    put(px, Order::kBlue, Y + t.uToBlue[U]);
    put(px, 1, Y - t.vToGreen[V] - t.uToGreen[U]);
    put(px, Order::kRed, Y + t.vToRed[V]);
  };
  for (int32_t y = 0; y < h; ++y) {
    const size_t first = size_t(y) * size_t(w);
    if (first >= pixels) break;
    const size_t count = std::min(size_t(w), pixels - first);
    uint8_t* row = out + size_t(y) * stride;
    size_t x = 0;
    if (vec || vecTables) {
      if (first & 1) one(first, row), x = 1;
      const uint8_t* src = packed + (first + x) / 2 * 4;
      const size_t from = x;
      x += vec ? vec(src, row + x * 3, count - x, alt, bgr)
               : vecTables(src, row + x * 3, count - x, alt, bgr, tab);
      if (vec && tab)
        for (size_t i = from * 3; i < x * 3; ++i) row[i] = tab[i % 3][row[i]];
    }
    for (; x < count; ++x) one(first + x, row + x * p);
  }
}

void convert(const Layout& l, const GroupLayout& g, const uint8_t* packed, uint8_t* out, int32_t w,
             int32_t h, const uint8_t* const* tab = nullptr) {
  if (!packed || !out || w < 1 || h < 1 || !colourPixel(l.samplesPerPixel)) return;
  const YuvTables& t = GetYuvTables();
  if (l.byteOrder)
    convertRows<Bgr>(t, g, packed, out, w, h, l.samplesPerPixel, tab);
  else
    convertRows<Rgb>(t, g, packed, out, w, h, l.samplesPerPixel, tab);
}

}  // namespace

void Yuv422ToRgb8(const Layout& l, const uint8_t* packed, uint8_t* out, int32_t w, int32_t h) {
  convert(l, kFormat6, packed, out, w, h);
}
void Yuv422ToRgb8Alt(const Layout& l, const uint8_t* packed, uint8_t* out, int32_t w, int32_t h) {
  convert(l, kFormat11, packed, out, w, h);
}

void Yuv422ToRgb8Tables(const Layout& l, bool alt, const uint8_t* packed, uint8_t* out, int32_t w,
                        int32_t h, ColourPlanes<uint8_t> tables) {
  const bool all = tables.red && tables.green && tables.blue;
  const uint8_t* const byPosition[3] = {l.byteOrder ? tables.blue : tables.red, tables.green,
                                        l.byteOrder ? tables.red : tables.blue};
  convert(l, alt ? kFormat11 : kFormat6, packed, out, w, h, all ? byPosition : nullptr);
}

}  // namespace kernels
