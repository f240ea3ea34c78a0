// Field reassembly of CCD frames: one walk for every layout, lengths checked before any copy.
#include "models/common/field_assembler.h"

#include <algorithm>
#include <cstring>

void FieldAssembler::reset() {
  field_ = 0, line_ = 0, column_ = 0, skipped_ = 0;
}

uint32_t FieldAssembler::payloadBytes(uint32_t index) const {
  const FieldLayout& l = layout_;
  if (l.fields > 1 && l.blocksPerField) {
    const uint64_t field = uint64_t{l.headBytes} + uint64_t{fieldRows()} * l.rowBytes;
    return (index + 1) % l.blocksPerField == 0 ? static_cast<uint32_t>(field % l.blockBytes)
                                               : l.blockBytes;
  }
  return index + 1 == l.blocks ? static_cast<uint32_t>(frameBytes() % l.blockBytes) : l.blockBytes;
}

uint32_t FieldAssembler::expectedBytes(uint32_t index) const {
  const FieldLayout& l = layout_;
  const uint32_t payload = payloadBytes(index);
  if (l.fields > 1 && l.blocksPerField)
    return (index + 1) % l.blocksPerField == 0 ? payload + index / l.blocksPerField : payload;
  return index + 1 == l.blocks && l.fields == 1 ? payload + l.tailPadBytes : payload;
}

bool FieldAssembler::take(const uint8_t* block, uint32_t length, uint32_t index, uint8_t* frame) {
  if (index >= layout_.blocks || length != expectedBytes(index)) {
    reset();
    return false;
  }
  const uint32_t payload = payloadBytes(index);
  if (layout_.fields > 1) {
    walk(block, payload, frame);
    return true;
  }
  const uint64_t at = uint64_t{index} * layout_.blockBytes;
  if (at + payload > frameBytes()) {
    reset();
    return false;
  }
  if (payload) std::memcpy(frame + at, block, payload);
  return true;
}

// Drops each field's head, then copies row pieces; a row past the frame is never written.
void FieldAssembler::walk(const uint8_t* block, uint32_t length, uint8_t* frame) {
  const FieldLayout& l = layout_;
  uint32_t p = 0;
  while (p < length && field_ < l.fields) {
    if (skipped_ < l.headBytes) {
      const uint32_t drop = std::min(length - p, l.headBytes - skipped_);
      skipped_ += drop, p += drop;
      continue;
    }
    const uint32_t row = l.firstRows[field_] + line_ * l.fields;
    const uint32_t n = std::min(length - p, l.rowBytes - column_);
    if (row < l.rows) std::memcpy(frame + size_t{row} * l.rowBytes + column_, block + p, n);
    column_ += n, p += n;
    if (column_ < l.rowBytes) continue;
    column_ = 0;
    if (++line_ >= fieldRows()) line_ = 0, skipped_ = 0, ++field_;
  }
  if (field_ >= l.fields) field_ = 0;
}
