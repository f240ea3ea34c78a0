// Packed YUV 4:2:2 to RGB by table lookups, into the state's padded rows and byte order.
#include <algorithm>

#include "kernels/output.h"

namespace kernels {
namespace {

// Byte offsets inside a four-byte group.
struct GroupLayout {
  uint8_t u, v, y[2];  // y[0] the first pixel's luma
};
constexpr GroupLayout kFormat6{1, 0, {3, 2}};
constexpr GroupLayout kFormat11{0, 2, {1, 3}};

inline uint8_t clampByte(int32_t v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }

template <typename Order>
void convertRows(const YuvTables& t, const GroupLayout& g, const uint8_t* packed, uint8_t* out,
                 int32_t w, int32_t h, uint8_t p) {
  const size_t stride = rowStride<uint8_t>(p, w);
  const size_t pixels = size_t(w) * size_t(h) / 2 * 2;  // an odd last pixel has no group
  size_t i = 0;
  for (int32_t y = 0; y < h && i < pixels; ++y) {
    uint8_t* px = out + size_t(y) * stride;
    for (int32_t x = 0; x < w && i < pixels; ++x, ++i, px += p) {
      const uint8_t* grp = packed + (i / 2) * 4;
      const int32_t Y = t.luma[grp[g.y[i & 1]]], U = grp[g.u], V = grp[g.v];
      px[Order::kBlue] = clampByte(Y + t.uToBlue[U]);
      px[1] = clampByte(Y - t.vToGreen[V] - t.uToGreen[U]);
      px[Order::kRed] = clampByte(Y + t.vToRed[V]);
    }
  }
}

void convert(const PLContext* ctx, const GroupLayout& g, const uint8_t* packed, uint8_t* out,
             int32_t w, int32_t h) {
  if (!ctx || !packed || !out || w < 1 || h < 1 || !colourPixel(ctx->samplesPerPixel)) return;
  const YuvTables& t = GetYuvTables();
  if (ctx->byteOrder) convertRows<Bgr>(t, g, packed, out, w, h, ctx->samplesPerPixel);
  else convertRows<Rgb>(t, g, packed, out, w, h, ctx->samplesPerPixel);
}

}  // namespace

void Yuv422ToRgb8(const PLContext* ctx, const uint8_t* packed, uint8_t* out, int32_t w, int32_t h) {
  convert(ctx, kFormat6, packed, out, w, h);
}
void Yuv422ToRgb8Alt(const PLContext* ctx, const uint8_t* packed, uint8_t* out, int32_t w, int32_t h) {
  convert(ctx, kFormat11, packed, out, w, h);
}

}  // namespace kernels
