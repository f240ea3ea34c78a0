// Region crop in place, and the Bayer order the cropped frame starts with.
#include <cstring>

#include "kernels/output.h"

namespace kernels {

namespace {
constexpr size_t kTrailerBytes = 48;  // ISP cameras end each frame with this block
}

bool CopyRoi(uint8_t* buffer, size_t bufferBytes, int32_t fullW, int32_t fullH, int32_t roiW,
             int32_t roiH, int32_t left, int32_t top, uint8_t bytesPerPixel, uint8_t trailer) {
  if (!buffer || bytesPerPixel < 1 || roiW < 1 || roiH < 1 || left < 0 || top < 0) return false;
  if (int64_t{left} + roiW > fullW || int64_t{top} + roiH > fullH) return false;
  const size_t bpp = bytesPerPixel;
  const size_t frameBytes = size_t(fullW) * size_t(fullH) * bpp;
  if (bufferBytes < frameBytes + (trailer ? kTrailerBytes : 0)) return false;
  const size_t rowBytes = size_t(roiW) * bpp, fullRow = size_t(fullW) * bpp;
  const uint8_t* from = buffer + (size_t(fullW) * size_t(top) + size_t(left)) * bpp;
  // Rows only move towards the start, so each memmove reads bytes no earlier move overwrote.
  for (int32_t y = 0; y < roiH; ++y, from += fullRow)
    std::memmove(buffer + size_t(y) * rowBytes, from, rowBytes);
  if (trailer) std::memmove(buffer + rowBytes * size_t(roiH), buffer + frameBytes, kTrailerBytes);
  return true;
}

int32_t BayerPhaseForRoi(int32_t b, int32_t left, int32_t top) {
  // An odd column swaps the pattern's columns, an odd row its rows.
  return b ^ ((left & 1) | ((top & 1) << 1));
}

}  // namespace kernels
