// Defect repair on packed two-byte pixels: the first byte from its vertical (and, at even x,
// horizontal) neighbours; only flagged entries whose neighbours lie in the frame.
#include "kernels/calibration.h"

namespace kernels {

void FixDefectPixelsYuv(uint32_t count, const DefectPixel* list, int32_t w, int32_t h,
                        uint8_t* frame) {
  if (!list || !frame || w < 1 || h < 3) return;
  const size_t row = size_t(w) * 2;
  for (uint32_t i = 0; i < count; ++i) {
    const DefectPixel& e = list[i];
    if (!e.valid || e.x >= uint32_t(w) || e.y < 1 || e.y >= uint32_t(h) - 1) continue;
    const bool even = (e.x & 1) == 0;
    if (even && (e.x < 1 || e.x + 1 >= uint32_t(w))) continue;
    uint8_t* b = frame + size_t(e.y) * row + size_t(e.x) * 2;
    const uint32_t vertical = uint32_t(b[-ptrdiff_t(row)]) + b[row];
    *b = uint8_t(even ? (vertical + b[-2] + b[2]) >> 2 : vertical / 2);
  }
}

}  // namespace kernels
