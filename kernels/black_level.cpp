// Black level: each raw sample loses its site's offset, never wrapping below 0.
#include "kernels/raw_sites.h"
#include "kernels/raw_steps.h"

namespace kernels {
namespace {

template <typename Sample>
void subtractBlackLevel(uint32_t b, const uint16_t offsets[3], int32_t w, int32_t h, Sample* raw) {
  if (!offsets || !raw || b > 3 || w < 1 || h < 1) return;
  // The 8-bit form keeps only the low byte of each offset.
  const Sample off[3] = {static_cast<Sample>(offsets[0]), static_cast<Sample>(offsets[1]),
                         static_cast<Sample>(offsets[2])};
  mapSites(b, w, h, raw, off,
           [](Sample s, Sample o) { return static_cast<Sample>(s > o ? s - o : 0); });
}

}  // namespace

void SubtractBlackLevel(uint32_t b, const uint16_t offsets[3], int32_t w, int32_t h, uint8_t* raw) {
  subtractBlackLevel(b, offsets, w, h, raw);
}

void SubtractBlackLevel16(uint32_t b, const uint16_t offsets[3], int32_t w, int32_t h,
                          uint16_t* raw) {
  subtractBlackLevel(b, offsets, w, h, raw);
}

}  // namespace kernels
