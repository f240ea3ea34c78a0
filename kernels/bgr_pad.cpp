// Three-byte to four-byte pixels: the vector path by processor, a scalar loop for the tail.
#include "kernels/bgr_pad.h"

#include "kernels/dispatch.h"

namespace kernels {
namespace {

using RowFn = uint32_t (*)(const uint8_t*, uint8_t*, uint32_t);

uint32_t noVectorRow(const uint8_t*, uint8_t*, uint32_t) {
  return 0;
}

RowFn chooseRow(Isa isa) {
  return isa == Isa::Avx2 ? &pad::rowAvx2 : &noVectorRow;
}

DispatchPointer<RowFn> gRow{&chooseRow};

}  // namespace

void PadBgrTo32(const uint8_t* src, size_t srcStride, uint8_t* dst, size_t dstStride,
                uint32_t width, uint32_t height) {
  const RowFn row = gRow.get();
  for (uint32_t y = 0; y < height; ++y, src += srcStride, dst += dstStride) {
    for (uint32_t x = row(src, dst, width); x < width; ++x) {
      const uint8_t* s = src + size_t{3} * x;
      uint8_t* d = dst + size_t{4} * x;
      d[0] = s[0], d[1] = s[1], d[2] = s[2], d[3] = 0;
    }
  }
}

}  // namespace kernels
