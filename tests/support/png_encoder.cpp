// Encodes 8-bit RGB pictures as PNG files, for the pictures tests leave for a person to review.
#include "tests/support/png_encoder.h"

#include <zlib.h>

#include <cstring>
#include <limits>

namespace {

constexpr uint32_t kMaxPngSide = 0x7FFFFFFFu;  // PNG's limit for a width or height

void PutU32(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

// Length, type, data and the CRC over type and data.
void PutChunk(std::vector<uint8_t>& out, const char (&type)[5], const uint8_t* data,
              size_t length) {
  PutU32(out, static_cast<uint32_t>(length));
  const size_t typeAt = out.size();
  out.insert(out.end(), type, type + 4);
  if (length) out.insert(out.end(), data, data + length);
  const uLong crc = crc32(0L, out.data() + typeAt, static_cast<uInt>(4 + length));
  PutU32(out, static_cast<uint32_t>(crc));
}

}  // namespace

std::vector<uint8_t> EncodePngRgb(const uint8_t* rgb, size_t stride, uint32_t width,
                                  uint32_t height) {
  if (!rgb || width == 0 || height == 0 || width > kMaxPngSide || height > kMaxPngSide) return {};
  const uint64_t rowBytes = uint64_t{width} * 3;
  const uint64_t rawBytes = (rowBytes + 1) * height;  // each row opens with its filter byte
  if (stride < rowBytes || rawBytes > std::numeric_limits<uInt>::max() / 2) return {};
  std::vector<uint8_t> raw(static_cast<size_t>(rawBytes));
  for (uint32_t y = 0; y < height; ++y) {
    uint8_t* row = raw.data() + y * (rowBytes + 1);
    row[0] = 0;  // filter "none": dialogs are flat colour, which deflate packs well as it is
    std::memcpy(row + 1, rgb + size_t{y} * stride, static_cast<size_t>(rowBytes));
  }
  uLongf packedBytes = compressBound(static_cast<uLong>(rawBytes));
  std::vector<uint8_t> packed(packedBytes);
  if (compress2(packed.data(), &packedBytes, raw.data(), static_cast<uLong>(rawBytes), 9) != Z_OK)
    return {};

  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  uint8_t header[13] = {};
  for (int i = 0; i < 4; ++i) {
    header[i] = static_cast<uint8_t>(width >> (24 - 8 * i));
    header[4 + i] = static_cast<uint8_t>(height >> (24 - 8 * i));
  }
  header[8] = 8;  // bits per sample
  header[9] = 2;  // colour type: RGB; compression, filter and interlace methods stay 0
  PutChunk(png, "IHDR", header, sizeof(header));
  PutChunk(png, "IDAT", packed.data(), packedBytes);
  PutChunk(png, "IEND", nullptr, 0);
  return png;
}
