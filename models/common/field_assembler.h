// Puts the bulk blocks of one CCD frame where they belong: straight, or as interlaced fields whose
// rows interleave in the frame. Pure: no allocation, lock or trace; the caller counts the blocks.
#pragma once

#include <array>
#include <cstdint>

struct FieldLayout {
  uint32_t rowBytes;
  uint32_t rows;        // rows of the reassembled frame
  uint32_t blockBytes;  // bytes of a whole block
  uint32_t blocks;      // blocks per frame
  uint32_t fields;      // 1: the frame comes straight
  // The frame row each field starts at, in arrival order; a field takes every fields-th row.
  std::array<uint8_t, 3> firstRows;
  uint32_t headBytes;  // junk leading every field, dropped
  // Blocks of each field (the last one short, carrying the field index in extra bytes), or 0
  // when the fields run across blocks and only the frame's last block is short.
  uint32_t blocksPerField;
  uint32_t tailPadBytes;  // straight: bytes past the payload in the frame's last block
};

class FieldAssembler {
 public:
  explicit FieldAssembler(const FieldLayout& layout) : layout_(layout) { reset(); }

  // Back to the first byte of the first field.
  void reset();
  // Block `index` of `length` bytes into `frame` (rows x rowBytes): false, and back to the first
  // field, when the length is not the one this block must have.
  bool take(const uint8_t* block, uint32_t length, uint32_t index, uint8_t* frame);

  // The length block `index` must have, and the bytes of it that carry pixels.
  uint32_t expectedBytes(uint32_t index) const;
  uint32_t payloadBytes(uint32_t index) const;
  uint64_t frameBytes() const { return uint64_t{layout_.rowBytes} * layout_.rows; }
  const FieldLayout& layout() const { return layout_; }

 private:
  void walk(const uint8_t* block, uint32_t length, uint8_t* frame);
  uint32_t fieldRows() const { return layout_.rows / layout_.fields; }

  FieldLayout layout_;
  uint32_t field_ = 0;    // in arrival order
  uint32_t line_ = 0;     // row inside the field
  uint32_t column_ = 0;   // byte inside that row
  uint32_t skipped_ = 0;  // head bytes dropped in this field
};
