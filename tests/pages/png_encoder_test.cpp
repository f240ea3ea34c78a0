// The review pictures' PNG encoder: a file any reader takes (signature, chunk CRCs, header) whose
// image data inflates to the rows given, each behind its filter byte; bad sizes give nothing.
#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdint>
#include <vector>

#include "tests/support/png_encoder.h"

namespace {

uint32_t ReadU32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

struct Chunk {
  std::string type;
  std::vector<uint8_t> data;
};

// The chunks after the signature, each checked against its CRC.
std::vector<Chunk> Chunks(const std::vector<uint8_t>& png) {
  std::vector<Chunk> chunks;
  size_t at = 8;
  while (at + 12 <= png.size()) {
    const uint32_t length = ReadU32(&png[at]);
    if (at + 12 + length > png.size()) break;
    const uLong crc = crc32(0L, &png[at + 4], 4 + length);
    EXPECT_EQ(ReadU32(&png[at + 8 + length]), static_cast<uint32_t>(crc));
    chunks.push_back({std::string(png.begin() + at + 4, png.begin() + at + 8),
                      std::vector<uint8_t>(png.begin() + at + 8, png.begin() + at + 8 + length)});
    at += 12 + length;
  }
  EXPECT_EQ(at, png.size()) << "bytes after the last chunk";
  return chunks;
}

struct Shape {
  uint32_t width, height;
  size_t stride;
};

class PngEncoder : public ::testing::TestWithParam<Shape> {};

TEST_P(PngEncoder, RowsInflateBackBehindTheirFilterBytes) {
  const Shape s = GetParam();
  std::vector<uint8_t> rgb(s.stride * s.height);
  for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>(i * 7 + 3);
  const std::vector<uint8_t> png = EncodePngRgb(rgb.data(), s.stride, s.width, s.height);
  ASSERT_GT(png.size(), 8u);
  EXPECT_EQ(std::vector<uint8_t>(png.begin(), png.begin() + 8),
            (std::vector<uint8_t>{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}));
  const std::vector<Chunk> chunks = Chunks(png);
  ASSERT_EQ(chunks.size(), 3u);
  EXPECT_EQ(chunks[0].type, "IHDR");
  ASSERT_EQ(chunks[0].data.size(), 13u);
  EXPECT_EQ(ReadU32(&chunks[0].data[0]), s.width);
  EXPECT_EQ(ReadU32(&chunks[0].data[4]), s.height);
  EXPECT_EQ(chunks[0].data[8], 8);  // 8-bit RGB, deflate, no interlace
  EXPECT_EQ(chunks[0].data[9], 2);
  EXPECT_EQ(chunks[1].type, "IDAT");
  EXPECT_EQ(chunks[2].type, "IEND");
  const size_t row = size_t{s.width} * 3;
  std::vector<uint8_t> raw((row + 1) * s.height + 1);
  uLongf rawBytes = raw.size();
  ASSERT_EQ(uncompress(raw.data(), &rawBytes, chunks[1].data.data(), chunks[1].data.size()), Z_OK);
  ASSERT_EQ(rawBytes, (row + 1) * s.height);
  for (uint32_t y = 0; y < s.height; ++y) {
    EXPECT_EQ(raw[y * (row + 1)], 0) << y;
    EXPECT_EQ(
        std::vector<uint8_t>(raw.begin() + y * (row + 1) + 1, raw.begin() + (y + 1) * (row + 1)),
        std::vector<uint8_t>(rgb.begin() + y * s.stride, rgb.begin() + y * s.stride + row))
        << y;
  }
}

INSTANTIATE_TEST_SUITE_P(Shapes, PngEncoder,
                         ::testing::Values(Shape{1, 1, 3}, Shape{3, 2, 12}, Shape{5, 4, 15},
                                           Shape{640, 480, 1920}));

TEST(PngEncoderRefuses, SizesItCannotWrite) {
  const uint8_t pixels[12] = {};
  EXPECT_TRUE(EncodePngRgb(nullptr, 3, 1, 1).empty());
  EXPECT_TRUE(EncodePngRgb(pixels, 3, 0, 1).empty());
  EXPECT_TRUE(EncodePngRgb(pixels, 3, 1, 0).empty());
  EXPECT_TRUE(EncodePngRgb(pixels, 5, 2, 1).empty()) << "stride shorter than a row";
  EXPECT_TRUE(EncodePngRgb(pixels, 0x80000000u * size_t{3}, 0x80000000u, 1).empty());
  EXPECT_TRUE(EncodePngRgb(pixels, 0x7FFFFFFFu * size_t{3}, 0x7FFFFFFFu, 0x7FFFFFFFu).empty());
}

}  // namespace
