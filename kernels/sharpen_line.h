// One line of the blur's full-window positions, and one row of the apply step: what the vector
// bodies share with the scalar loops, so a body takes a prefix and the loop the rest.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kernels {

// Samples i .. end - 1 of dst from src[i + (j - r) * tapStep], j = 0 .. taps - 1. With itap the
// weights are itap / 2^shift, exact in integers (radii 1..3); otherwise num = sum of k[j] *
// sample in j order, over den (the weights' sum in j order), rounded half up, as in double.
template <typename Sample>
struct BlurLine {
  const Sample* src;
  Sample* dst;
  ptrdiff_t tapStep;
  int32_t taps;
  const int32_t* itap;
  int32_t shift;
  const double* k;
  double den;
  int32_t end;
};

// Samples i .. end - 1 of one row of the apply step: frame = copy pushed away from blurred by
// amount / 100 of the difference where that passes the threshold, else copy; with keepFourth
// every fourth sample (i % 4 == 3) of frame is left as it is. The product widens to 64 bits.
template <typename Sample>
struct UnsharpLine {
  const Sample* copy;
  Sample* frame;
  const Sample* blurred;
  int32_t amount, threshold, max, end;
  bool keepFourth;
};

// The vector body takes amounts whose products fit 32 bits.
inline constexpr int32_t kMaxVectorAmount = 32767;

// AVX2 bodies: each returns the first sample it left for the scalar loop.
int32_t sharpenLineAvx2(const BlurLine<uint8_t>& l, int32_t i);
int32_t sharpenLineAvx2(const BlurLine<uint16_t>& l, int32_t i);
int32_t sharpenLineAvx2(const UnsharpLine<uint8_t>& l, int32_t i);
int32_t sharpenLineAvx2(const UnsharpLine<uint16_t>& l, int32_t i);

}  // namespace kernels
