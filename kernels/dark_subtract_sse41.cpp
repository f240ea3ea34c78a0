// Dark subtraction, 16-bit blocks with SSE4.1: max(frame, dark) - dark is the saturating
// difference.
#include <smmintrin.h>

#include "kernels/dark_subtract.h"

namespace kernels::dark {

size_t blocks16Sse41(uint16_t* frame, const uint16_t* dark, size_t n) {
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    auto* f = reinterpret_cast<__m128i*>(frame + i);
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dark + i));
    _mm_storeu_si128(f, _mm_sub_epi16(_mm_max_epu16(_mm_loadu_si128(f), d), d));
  }
  return i;
}

}  // namespace kernels::dark
