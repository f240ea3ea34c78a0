// Fit of the processed frame to the output size: horizontal mean or pick, then vertical repeat,
// interpolation or pick, computed per output pixel so neither buffer is used as scratch.
#include <algorithm>

#include "kernels/output.h"

namespace kernels {
namespace {

template <typename Sample>
struct Fit {
  int32_t outW, outH, procW, procH;
  const Sample* proc;
  size_t procStride;
  uint8_t p;
  int32_t fx = 1, skip = 0;

  // Sample c of output column x taken from processed row k (the horizontal pass).
  uint32_t across(int32_t k, int32_t x, int c) const {
    const Sample* row = proc + size_t(k) * procStride;
    if (procW > outW) {
      const Sample* px = row + size_t(skip + int64_t{x} * fx) * p + c;
      uint64_t sum = 0;  // fx 16-bit samples may pass 32 bits
      for (int32_t j = 0; j < fx; ++j, px += p) sum += *px;
      return uint32_t(sum / uint32_t(fx));
    }
    const int64_t sx = procW == outW ? x : int64_t{x} * procW / outW;
    return row[size_t(sx) * p + c];
  }

  void row(int32_t r, Sample* out) const {
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
        out[c] = Sample(c < blended ? (across(k, x, c) + across(k1, x, c)) / 2 : across(k, x, c));
  }
};

// Sizes in bytes, as the callers hold them.
template <typename Sample>
bool fitToOutput(int32_t outW, int32_t outH, int32_t procW, int32_t procH, Sample* out,
                 size_t outBytes, const Sample* proc, size_t procBytes, uint8_t p) {
  if (!out || !proc || outW < 1 || outH < 1 || procW < 1 || procH < 1 || p < 1 || p > 4)
    return false;
  if (outW == procW && outH == procH) return true;
  const size_t outStride = rowStride<Sample>(p, outW), procStride = rowStride<Sample>(p, procW);
  if (outBytes / sizeof(Sample) < outStride * size_t(outH) ||
      procBytes / sizeof(Sample) < procStride * size_t(procH))
    return false;
  Fit<Sample> fit{outW, outH, procW, procH, proc, procStride, p};
  if (procW > outW) fit.fx = procW / outW, fit.skip = (procW - fit.fx * outW) / 2;
  for (int32_t r = 0; r < outH; ++r) fit.row(r, out + size_t(r) * outStride);
  return true;
}

}  // namespace

bool FitToOutput(int32_t outW, int32_t outH, int32_t procW, int32_t procH, uint8_t* out,
                 size_t outBytes, const uint8_t* proc, size_t procBytes, uint8_t p) {
  return fitToOutput(outW, outH, procW, procH, out, outBytes, proc, procBytes, p);
}
bool FitToOutput16(int32_t outW, int32_t outH, int32_t procW, int32_t procH, uint16_t* out,
                   size_t outBytes, const uint16_t* proc, size_t procBytes, uint8_t p) {
  return fitToOutput(outW, outH, procW, procH, out, outBytes, proc, procBytes, p);
}

}  // namespace kernels
