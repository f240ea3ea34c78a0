// Output table step: the negative and the user's output table, the last step of every stripe.
#include "pipeline/stages/output_table.h"

#include <algorithm>

#include "kernels/byte_table.h"
#include "kernels/kernel_base.h"

namespace stages {

template <typename Sample>
OutputTableStep<Sample>::OutputTableStep(bool negative, uint8_t bits,
                                         const std::vector<Sample>* table)
    : active_(negative || (table && !table->empty())),
      negative_(negative),
      max_((1u << bits) - 1u),
      table_(table && !table->empty() ? table : nullptr) {
  if constexpr (sizeof(Sample) == 1) {
    for (uint32_t v = 0; v < 256; ++v) {
      const uint32_t s = negative_ ? max_ - std::min(v, max_) : v;
      composed_[v] = table_ ? (*table_)[std::min<size_t>(s, table_->size() - 1)] : uint8_t(s);
    }
  }
}

template <typename Sample>
void OutputTableStep<Sample>::apply(Sample* stripe, int32_t width, int32_t rows, uint8_t p) const {
  if (!active_ || !stripe || width < 1 || rows < 1 || p < 1 || p > 4) return;
  const size_t stride = kernels::rowStride<Sample>(p, width);
  const size_t n = size_t(width) * p;
  for (int32_t y = 0; y < rows; ++y) {
    Sample* row = stripe + size_t(y) * stride;
    if constexpr (sizeof(Sample) == 1) {
      kernels::bytes::Lookup(composed_.data(), row, n, p == 4);
    } else {
      const size_t last = table_ ? table_->size() - 1 : 0;
      for (size_t i = 0; i < n; ++i) {
        if (p == 4 && i % 4 == 3) continue;
        uint32_t s = row[i];
        if (negative_) s = max_ - std::min(s, max_);
        if (table_) s = (*table_)[std::min<size_t>(s, last)];
        row[i] = Sample(s);
      }
    }
  }
}

template class OutputTableStep<uint8_t>;
template class OutputTableStep<uint16_t>;

}  // namespace stages
