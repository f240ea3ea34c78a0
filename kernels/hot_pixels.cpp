// Hot pixels of the dark-field run: each the mean of its four neighbours, in list order.
#include <span>

#include "kernels/calibration.h"

namespace kernels {
namespace {

// step: samples between horizontal neighbours; row: samples per row; planes: samples per pixel.
template <typename Sample>
void repairList(const HotPixel* list, size_t count, int32_t w, int32_t h, int32_t d, Sample* frame,
                size_t row, int planes) {
  if (!list || !frame || w < 2 * d + 1 || h < 2 * d + 1) return;
  const size_t dx = size_t(d) * planes, dy = size_t(d) * row;
  for (const HotPixel& e : std::span(list, count)) {
    // The list belongs to the dark-field frame's size; a smaller frame (ROI, binning) skips the
    // rest.
    if (e.x < d || e.x >= w - d || e.y < d || e.y >= h - d) continue;
    Sample* s = frame + size_t(e.y) * row + size_t(e.x) * planes;
    for (int c = 0; c < planes; ++c, ++s)
      *s = Sample((uint32_t(s[-ptrdiff_t(dy)]) + s[dy] + s[-ptrdiff_t(dx)] + s[dx]) >> 2);
  }
}

}  // namespace

void RepairHotPixels(const HotPixel* list, size_t count, int32_t d, int32_t w, int32_t h,
                     uint8_t* frame) {
  repairList(list, count, w, h, d, frame, size_t(w), 1);
}
void RepairHotPixels16(const HotPixel* list, size_t count, int32_t d, int32_t w, int32_t h,
                       uint16_t* frame) {
  repairList(list, count, w, h, d, frame, size_t(w), 1);
}
void RepairHotPixelsBmp(const HotPixel* list, size_t count, int32_t w, int32_t h, uint8_t* frame) {
  repairList(list, count, w, h, 1, frame, size_t(w) * 3, 3);
}

}  // namespace kernels
