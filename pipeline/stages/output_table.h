// Output table step: the negative and the user's output table, the last step of every stripe.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace stages {

// s <- max - s while negative, then s <- table[s] while a table is given (samples past its end
// read the last entry). At 8 bits both fold into one byte table. The table is read through the
// pointer, so it must outlive the step (it lives in the frame's snapshot).
template <typename Sample>
class OutputTableStep {
 public:
  OutputTableStep() = default;
  OutputTableStep(bool negative, uint8_t bits, const std::vector<Sample>* table);

  explicit operator bool() const { return active_; }

  // Rows [0, rows) of width pixels of p samples each; the fourth sample of four stays.
  void apply(Sample* stripe, int32_t width, int32_t rows, uint8_t p) const;

 private:
  bool active_ = false, negative_ = false;
  uint32_t max_ = 0;
  const std::vector<Sample>* table_ = nullptr;
  std::array<uint8_t, 256> composed_{};  // the 8-bit form
};

}  // namespace stages
