// Fit of the processed frame to the output size: horizontal mean or pick, then vertical repeat,
// interpolation or pick, computed per output pixel so neither buffer is used as scratch.
#include <algorithm>

#include "kernels/output.h"

namespace kernels {
namespace {

struct Fit {
  int32_t outW, outH, procW, procH;
  const uint8_t* proc;
  size_t procStride;
  uint8_t p;
  int32_t fx = 1, skip = 0;

  // Sample c of output column x taken from processed row k (the horizontal pass).
  uint32_t across(int32_t k, int32_t x, int c) const {
    const uint8_t* row = proc + size_t(k) * procStride;
    if (procW > outW) {
      const uint8_t* px = row + size_t(skip + int64_t{x} * fx) * p + c;
      uint32_t sum = 0;
      for (int32_t j = 0; j < fx; ++j, px += p) sum += *px;
      return sum / uint32_t(fx);
    }
    const int64_t sx = procW == outW ? x : int64_t{x} * procW / outW;
    return row[size_t(sx) * p + c];
  }

  void row(int32_t r, uint8_t* out) const {
    int32_t k = r, k1 = r;
    bool blend = false;
    if (procH < outH) {
      // Rows past fy x procH (a height that is no multiple) stand for the last source row.
      const int32_t fy = outH / procH;
      k = std::min(r / fy, procH - 1), k1 = std::min(k + 1, procH - 1);
      blend = r % fy != 0;
    } else if (procH > outH) {
      k = k1 = int32_t(int64_t{r} * procH / outH);
    }
    const int blended = blend ? std::min<int>(p, 3) : 0;  // a fourth sample comes from row k
    for (int32_t x = 0; x < outW; ++x, out += p)
      for (int c = 0; c < p; ++c)
        out[c] = uint8_t(c < blended ? (across(k, x, c) + across(k1, x, c)) / 2 : across(k, x, c));
  }
};

}  // namespace

bool FitToOutput(int32_t outW, int32_t outH, int32_t procW, int32_t procH, uint8_t* out,
                 size_t outBytes, const uint8_t* proc, size_t procBytes, uint8_t p) {
  if (!out || !proc || outW < 1 || outH < 1 || procW < 1 || procH < 1 || p < 1 || p > 4)
    return false;
  if (outW == procW && outH == procH) return true;
  const size_t outStride = rowStride<uint8_t>(p, outW), procStride = rowStride<uint8_t>(p, procW);
  if (outBytes < outStride * size_t(outH) || procBytes < procStride * size_t(procH)) return false;
  Fit fit{outW, outH, procW, procH, proc, procStride, p};
  if (procW > outW) fit.fx = procW / outW, fit.skip = (procW - fit.fx * outW) / 2;
  for (int32_t r = 0; r < outH; ++r) fit.row(r, out + size_t(r) * outStride);
  return true;
}

}  // namespace kernels
