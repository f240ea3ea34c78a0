// HeldGroupMap: what a released group's window, read mode and frame length say of the frame.
#include "sim/held_group_map.h"

namespace sim {
namespace {
using namespace held_group;
// The read mode's odd increments: columns in bits 0 to 2, rows in bits 6 to 8; bits 9 and 10
// choose how the skipped pixels combine.
constexpr uint16_t kIncrementMask = 0x7;
constexpr uint32_t kYIncrementShift = 6;

// The array pixels an axis of n outputs spans: pairs of pixels, one pair every increment + 1.
uint32_t span(uint32_t outputs, uint32_t increment) {
  if (increment <= 1 || outputs < 2) return outputs;
  return (outputs / 2 - 1) * (increment + 1) + 2;
}

uint32_t extent(uint16_t first, uint16_t last) {
  return last >= first ? last - first + 1u : 0u;
}
}  // namespace

std::string HeldGroupMap::frameError(uint32_t cropColumns) const {
  const uint32_t outWidth = reg(kWidth), outHeight = reg(kHeight);
  if (outWidth == 0 || outHeight == 0) return {};  // no window programmed yet
  const uint32_t xInc = reg(kReadMode) & kIncrementMask;
  const uint32_t yInc = (reg(kReadMode) >> kYIncrementShift) & kIncrementMask;
  const uint32_t columns = extent(reg(kXStart), reg(kXEnd));
  const uint32_t rows = extent(reg(kYStart), reg(kYEnd));
  const uint32_t delivered = outWidth > cropColumns ? outWidth - cropColumns : 0;
  // The window holds every column delivered and no more than the output reads.
  if (columns < span(delivered, xInc) || columns > span(outWidth, xInc))
    return "window columns " + std::to_string(columns) + " do not give " +
           std::to_string(delivered) + " columns: no frames";
  if (rows != span(outHeight, yInc))
    return "window rows " + std::to_string(rows) + " do not give " + std::to_string(outHeight) +
           " rows: no frames";
  if (reg(kFrameLength) < outHeight)
    return "frame length " + std::to_string(reg(kFrameLength)) + " is shorter than the frame's " +
           std::to_string(outHeight) + " rows: no frames";
  return {};
}

}  // namespace sim
