// Flat-field gains: each sample times its 16.16 gain, the product in 64 bits, clamped to the depth.
#include <algorithm>

#include "kernels/calibration.h"

namespace kernels {
namespace {

template <typename Sample>
void applyFfc(int32_t w, int32_t h, Sample* frame, uint8_t bits, const uint32_t* gain) {
  if (!frame || !gain || w < 1 || h < 1) return;
  const uint64_t max = sampleMax<Sample>(bits);
  const size_t n = size_t(w) * size_t(h);
  for (size_t i = 0; i < n; ++i)
    frame[i] = static_cast<Sample>(std::min<uint64_t>((uint64_t{frame[i]} * gain[i]) >> 16, max));
}

}  // namespace

void ApplyFfc(int32_t w, int32_t h, uint8_t* frame, uint8_t bits, const uint32_t* gain) {
  applyFfc(w, h, frame, bits, gain);
}
void ApplyFfc16(int32_t w, int32_t h, uint16_t* frame, uint8_t bits, const uint32_t* gain) {
  applyFfc(w, h, frame, bits, gain);
}

}  // namespace kernels
