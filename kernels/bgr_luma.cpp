// Blue-green-red rows to luma: the vector path by processor, a scalar loop for the tail.
#include "kernels/bgr_luma.h"

#include "kernels/dispatch.h"

namespace kernels {
namespace {

using RowFn = uint32_t (*)(const uint8_t*, uint8_t*, uint32_t);

uint32_t noVectorRow(const uint8_t*, uint8_t*, uint32_t) {
  return 0;
}

RowFn chooseRow(Isa isa) {
  return isa == Isa::Avx2 ? &luma::rowAvx2 : &noVectorRow;
}

DispatchPointer<RowFn> gRow{&chooseRow};

}  // namespace

void BgrToLuma(const uint8_t* src, size_t srcStride, uint8_t* dst, size_t dstStride, uint32_t width,
               uint32_t height) {
  const RowFn row = gRow.get();
  const LumaTables& t = GetLumaTables();
  for (uint32_t y = 0; y < height; ++y, src += srcStride, dst += dstStride) {
    for (uint32_t x = row(src, dst, width); x < width; ++x)
      dst[x] = LumaOf(t, src[3 * x + 2], src[3 * x + 1], src[3 * x]);
  }
}

}  // namespace kernels
