// Sensor pixel formats, output formats, the colour-site table and frame row sizes.
#pragma once

#include <array>
#include <cstdint>

inline constexpr uint32_t kPixelFormatCount = 12;

// The sensor pixel formats decisions hang on, by their number (formats 5, 7 and 8 are only
// offered or refused by their model flags, never tested by number).
inline constexpr uint8_t kPixelRaw8 = 0;
inline constexpr uint8_t kPixelRaw10 = 1;
inline constexpr uint8_t kPixelRaw12 = 2;
inline constexpr uint8_t kPixelRaw14 = 3;
inline constexpr uint8_t kPixelRaw16 = 4;
inline constexpr uint8_t kPixelYuv422 = 6;     // U, V, Y0, Y1 for two pixels
inline constexpr uint8_t kPixelRaw8Alt = 9;    // 8-bit raw on the alternative path
inline constexpr uint8_t kPixelRaw12Alt = 10;  // 12-bit raw in two bytes on the alternative path
inline constexpr uint8_t kPixelYuv422Alt = 11;

// Output pixel formats that carry more than 8 bits per sample.
constexpr bool IsHighBitFormat(uint32_t format) {
  return (format >= kPixelRaw10 && format <= kPixelRaw16) || format == kPixelRaw12Alt;
}

// Bits and bytes per pixel of the raw data each sensor pixel format delivers.
inline constexpr std::array<uint8_t, kPixelFormatCount> kFormatBitsPerPixel = {
    8, 10, 12, 14, 16, 12, 16, 24, 24, 8, 12, 12};
inline constexpr std::array<uint8_t, kPixelFormatCount> kFormatBytesPerPixel = {1, 2, 2, 2, 2, 2,
                                                                                2, 3, 3, 1, 2, 2};

// The model's 11-byte bit-depth capability record.
using BitDepthCaps = std::array<uint8_t, 11>;

// 16 when byte 4 is set, 14 for byte 3, 12 for bytes 2 or 10, 10 for byte 1, else 8.
uint8_t SensorBitDepth(const BitDepthCaps& caps);

// Largest black offset of a pixel format: 255, or all ones of its depth for the raw high-bit ones.
uint16_t BlackOffsetMax(uint32_t pixelFormat);

enum OutputFormat : uint32_t {
  kOutputRgb8 = 0,
  kOutputRgb16 = 1,
  kOutputRgb32 = 2,
  kOutputGrey8 = 3,
  kOutputGrey16 = 4,
};

uint8_t SamplesPerPixel(uint32_t outputFormat);

// For each Bayer order and site parity, the output byte (0..2) receiving the colour found there.
struct ColourSiteTable {
  std::array<uint8_t, 16> site{};
  static constexpr uint32_t index(uint32_t bayer, uint32_t x, uint32_t y) {
    return (y & 1u) + 2u * (x & 1u) + 4u * (bayer & 3u);
  }
  uint8_t at(uint32_t bayer, uint32_t x, uint32_t y) const { return site[index(bayer, x, y)]; }
};

// byteOrder set: pixels are B, G, R; clear: R, G, B.
ColourSiteTable BuildColourSites(bool byteOrder);
