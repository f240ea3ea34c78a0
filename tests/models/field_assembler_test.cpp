// FieldAssembler over every CCD layout: blocks cut from a wire image of numbered rows come back
// as the frame byte for byte, a wrong length is refused and starts over at the first field, and
// nothing is written past the frame.
#include "models/common/field_assembler.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct LayoutRow {
  const char* name;
  FieldLayout layout;
  uint32_t fieldExtraBytes;  // 1: each field's last block carries its index in extra bytes
};

const LayoutRow kLayouts[] = {
    {"Mp14", {1360, 1024, 0x55000, 5, 1, {0, 0, 0}, 0, 0, 0}, 0},
    {"Mp31Full", {2048, 1536, 0x80000, 8, 2, {0, 1, 0}, 83968, 4, 0}, 1},
    {"Mp31Reduced", {2048, 240, 0x20000, 4, 1, {0, 0, 0}, 0, 0, 1}, 0},
    {"Mp31V2Full", {2048, 1536, 0x80000, 7, 2, {1, 0, 0}, 0, 0, 0}, 0},
    {"Mp31V2Reduced", {2048, 240, 0x10000, 8, 1, {0, 0, 0}, 0, 0, 0}, 0},
    {"Mp51Full", {2592, 1944, 0x51000, 18, 3, {1, 2, 0}, 57024, 6, 0}, 1},
    {"Mp51Reduced", {2240, 210, 71680, 7, 1, {0, 0, 0}, 0, 0, 1}, 0},
    {"Mp51V2Full", {2592, 1944, 0x51000, 16, 3, {2, 0, 1}, 0, 0, 0}, 0},
    {"Mp51V2Reduced", {2240, 210, 71680, 7, 1, {0, 0, 0}, 0, 0, 0}, 0},
};

// A byte that names its row and column, never the junk value.
uint8_t Numbered(uint32_t row, uint32_t column) {
  return static_cast<uint8_t>((row * 7 + column * 3) % 251);
}

// The blocks as the camera sends them: fields in order with junk heads, cut at the block size.
std::vector<std::vector<uint8_t>> Wire(const FieldLayout& l, bool fieldExtraBytes) {
  std::vector<std::vector<uint8_t>> blocks;
  std::vector<uint8_t> stream;
  auto cut = [&](bool last) {
    for (size_t at = 0; at < stream.size(); at += l.blockBytes)
      blocks.emplace_back(stream.begin() + at,
                          stream.begin() + std::min<size_t>(stream.size(), at + l.blockBytes));
    if (last && stream.size() % l.blockBytes == 0) blocks.emplace_back();
    stream.clear();
  };
  for (uint32_t f = 0; f < l.fields; ++f) {
    stream.resize(stream.size() + l.headBytes, 0xEE);
    for (uint32_t row = l.firstRows[f]; row < l.rows; row += l.fields)
      for (uint32_t c = 0; c < l.rowBytes; ++c) stream.push_back(Numbered(row, c));
    if (fieldExtraBytes) {
      stream.resize(stream.size() + f, 0xEE);
      cut(false);
    }
  }
  if (!fieldExtraBytes) {
    stream.resize(stream.size() + l.tailPadBytes, 0xEE);
    cut(true);
  }
  return blocks;
}

class FieldAssemblerLayouts : public ::testing::TestWithParam<LayoutRow> {};

TEST_P(FieldAssemblerLayouts, NumberedRowsComeBackWholeTwiceInARow) {
  const FieldLayout& l = GetParam().layout;
  const auto blocks = Wire(l, GetParam().fieldExtraBytes != 0);
  ASSERT_EQ(blocks.size(), l.blocks);
  FieldAssembler fields(l);
  for (int frame = 0; frame < 2; ++frame) {
    std::vector<uint8_t> out(fields.frameBytes(), 0);  // exactly the frame: ASan sees overruns
    for (uint32_t b = 0; b < blocks.size(); ++b)
      ASSERT_TRUE(fields.take(blocks[b].data(), uint32_t(blocks[b].size()), b, out.data())) << b;
    for (uint32_t row = 0; row < l.rows; ++row)
      for (uint32_t c = 0; c < l.rowBytes; c += 97)
        ASSERT_EQ(out[size_t{row} * l.rowBytes + c], Numbered(row, c)) << row << "," << c;
  }
}

TEST_P(FieldAssemblerLayouts, AWrongLengthIsRefusedAndTheNextFrameStartsAtTheFirstField) {
  const FieldLayout& l = GetParam().layout;
  const auto blocks = Wire(l, GetParam().fieldExtraBytes != 0);
  FieldAssembler fields(l);
  std::vector<uint8_t> out(fields.frameBytes(), 0);
  for (uint32_t bad = 0; bad < blocks.size(); ++bad) {
    for (uint32_t b = 0; b < bad; ++b)
      ASSERT_TRUE(fields.take(blocks[b].data(), uint32_t(blocks[b].size()), b, out.data()));
    std::vector<uint8_t> wrong(blocks[bad].size() + 1, 0xEE);
    EXPECT_FALSE(fields.take(wrong.data(), uint32_t(wrong.size()), bad, out.data())) << bad;
  }
  std::fill(out.begin(), out.end(), 0);
  for (uint32_t b = 0; b < blocks.size(); ++b)
    ASSERT_TRUE(fields.take(blocks[b].data(), uint32_t(blocks[b].size()), b, out.data()));
  EXPECT_EQ(out.front(), Numbered(0, 0));
  EXPECT_EQ(out.back(), Numbered(l.rows - 1, l.rowBytes - 1));
  EXPECT_FALSE(fields.take(blocks[0].data(), uint32_t(blocks[0].size()), l.blocks, out.data()))
      << "a block past the frame";
}

INSTANTIATE_TEST_SUITE_P(Ccd, FieldAssemblerLayouts, ::testing::ValuesIn(kLayouts),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
