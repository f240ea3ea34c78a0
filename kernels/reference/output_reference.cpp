// Literal dark subtraction, 16-to-8-bit, fit to output and packed 4:2:2 conversion.
#include <algorithm>
#include <vector>

#include "kernels/kernel_base.h"
#include "kernels/reference/output_reference.h"

namespace kernels::reference {

template <typename S>
void subtractDark(size_t n, S* frame, const S* dark) {
  for (size_t i = 0; i < n; ++i) frame[i] = frame[i] > dark[i] ? S(frame[i] - dark[i]) : S(0);
}
template void subtractDark(size_t, uint8_t*, const uint8_t*);
template void subtractDark(size_t, uint16_t*, const uint16_t*);

void convert16To8(const uint16_t* src, uint8_t* dst, int32_t w, int32_t rows, uint8_t p,
                  uint8_t bits) {
  const size_t rs = rowStride<uint16_t>(p, w), rd = rowStride<uint8_t>(p, w);
  for (int32_t y = 0; y < rows; ++y)
    for (size_t i = 0; i < size_t(w) * p; ++i) {
      const uint32_t v = src[y * rs + i] >> (bits - 8);
      dst[y * rd + i] = uint8_t(v > 255 ? 255 : v);
    }
}

template <typename S>
void fitToOutput(int32_t outW, int32_t outH, int32_t procW, int32_t procH, S* out, const S* proc,
                 uint8_t p) {
  if (outW == procW && outH == procH) return;
  const size_t rp = rowStride<S>(p, procW), ro = rowStride<S>(p, outW);
  // Horizontal pass: outW x procH.
  std::vector<S> mid(ro * procH);
  for (int32_t y = 0; y < procH; ++y)
    for (int32_t x = 0; x < outW; ++x)
      for (int c = 0; c < p; ++c) {
        uint32_t v;
        if (procW > outW) {
          const int32_t fx = procW / outW, skip = (procW - fx * outW) / 2;
          uint64_t sum = 0;
          for (int32_t j = 0; j < fx; ++j) sum += proc[y * rp + size_t(skip + x * fx + j) * p + c];
          v = uint32_t(sum / fx);
        } else {
          v = proc[y * rp + size_t(int64_t(x) * procW / outW) * p + c];
        }
        mid[y * ro + size_t(x) * p + c] = S(v);
      }
  // Vertical pass.
  for (int32_t r = 0; r < outH; ++r) {
    const S* a;
    const S* b = nullptr;
    if (procH < outH) {
      const int32_t fy = outH / procH, k = std::min(r / fy, procH - 1);
      a = &mid[k * ro];
      if (r % fy) b = &mid[std::min(k + 1, procH - 1) * ro];
    } else {
      a = &mid[size_t(int64_t(r) * procH / outH) * ro];
    }
    for (size_t i = 0; i < size_t(outW) * p; ++i)
      out[r * ro + i] = b && int(i % p) < 3 ? S((a[i] + b[i]) / 2) : a[i];
  }
}
template void fitToOutput(int32_t, int32_t, int32_t, int32_t, uint8_t*, const uint8_t*, uint8_t);
template void fitToOutput(int32_t, int32_t, int32_t, int32_t, uint16_t*, const uint16_t*, uint8_t);

void yuv422(bool alt, bool bgr, uint8_t p, const uint8_t* packed, uint8_t* out, int32_t w,
            int32_t h) {
  auto luma = [](int k) { return int32_t(float(k - 16) * 1.164f); };
  auto chroma = [](int k, float f) { return int32_t(float(k - 128) * f); };
  const size_t R = rowStride<uint8_t>(p, w);
  const int red = bgr ? 2 : 0, blue = bgr ? 0 : 2;
  for (size_t g = 0; g < size_t(w) * h / 2; ++g) {
    const uint8_t* q = packed + 4 * g;
    const int U = alt ? q[0] : q[1], V = alt ? q[2] : q[0];
    const int Y[2] = {alt ? q[1] : q[3], alt ? q[3] : q[2]};
    for (int k = 0; k < 2; ++k) {
      const size_t i = 2 * g + k;
      uint8_t* px = out + (i / w) * R + (i % w) * p;
      const int y = luma(Y[k]);
      px[blue] = uint8_t(std::clamp(y + chroma(U, 2.018f), 0, 255));
      px[1] = uint8_t(std::clamp(y - chroma(V, 0.813f) - chroma(U, 0.391f), 0, 255));
      px[red] = uint8_t(std::clamp(y + chroma(V, 1.596f), 0, 255));
    }
  }
}

}  // namespace kernels::reference
