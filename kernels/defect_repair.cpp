// Factory defect repair on raw frames: border-aware neighbour copy or four-neighbour mean.
#include "kernels/calibration.h"

namespace kernels {
namespace {

// The repair of one pixel (x, y) of a w x h frame with neighbours d apart; w, h >= 2d.
template <typename Sample>
Sample repairValue(const Sample* f, int32_t w, int32_t h, int32_t d, int32_t x, int32_t y,
                   bool mean) {
  auto at = [&](int32_t px, int32_t py) -> uint32_t { return f[size_t(py) * w + px]; };
  if (!mean) {
    if (x < d) return Sample(at(x + d, y));
    if (x >= w - d) return Sample(at(x - d, y));
    if (y < d) return Sample(at(x, y + d));
    if (y >= h - d) return Sample(at(x, y - d));
  }
  return Sample((at(x, y - d) + at(x, y + d) + at(x - d, y) + at(x + d, y)) >> 2);
}

template <typename Sample>
void fixDefects(uint32_t count, const DefectPixel* list, int32_t w, int32_t h, Sample* frame,
                const SensorRect* region, int32_t d) {
  if (!list || !frame || w < 1 || h < 1) return;
  int32_t rw = w, rh = h;
  if (region) {
    rw = region->right - region->left, rh = region->bottom - region->top;
    if (rw > w || rh > h) return;  // the frame cannot hold the region it claims
  }
  if (rw < 2 * d || rh < 2 * d) return;
  for (uint32_t i = 0; i < count; ++i) {
    int64_t x = list[i].x, y = list[i].y;
    if (region) {
      if (x < region->left || x >= region->right || y < region->top || y >= region->bottom)
        continue;
      x -= region->left, y -= region->top;
    }
    if (x >= rw || y >= rh) continue;  // a list of a larger frame (binning, another size)
    const auto px = int32_t(x), py = int32_t(y);
    const bool inner = px >= d && px < rw - d && py >= d && py < rh - d;
    const bool mean = !region && list[i].valid && inner;
    frame[size_t(py) * rw + px] = repairValue(frame, rw, rh, d, px, py, mean);
  }
}

}  // namespace

void FixDefectPixelsColor(uint32_t n, const DefectPixel* l, int32_t w, int32_t h, uint8_t* f,
                          const SensorRect* r) {
  fixDefects(n, l, w, h, f, r, 2);
}
void FixDefectPixelsColor16(uint32_t n, const DefectPixel* l, int32_t w, int32_t h, uint16_t* f,
                            const SensorRect* r) {
  fixDefects(n, l, w, h, f, r, 2);
}
void FixDefectPixelsMono(uint32_t n, const DefectPixel* l, int32_t w, int32_t h, uint8_t* f,
                         const SensorRect* r) {
  fixDefects(n, l, w, h, f, r, r ? 2 : 1);
}
void FixDefectPixelsMono16(uint32_t n, const DefectPixel* l, int32_t w, int32_t h, uint16_t* f,
                           const SensorRect* r) {
  fixDefects(n, l, w, h, f, r, r ? 2 : 1);
}

}  // namespace kernels
