// Sensor pixel formats, output formats, the colour-site table and frame row sizes.
#include "base/pixel_formats.h"

#include "base/lumorix_flags.h"

uint8_t SensorBitDepth(const BitDepthCaps& caps) {
  if (caps[4]) return 16;
  if (caps[3]) return 14;
  if (caps[2] || caps[10]) return 12;
  if (caps[1]) return 10;
  return 8;
}

uint16_t BlackOffsetMax(uint32_t pixelFormat) {
  if (!IsHighBitFormat(pixelFormat)) return 255;
  return static_cast<uint16_t>(0xFFFFu >> (16u - kFormatBitsPerPixel[pixelFormat]));
}

uint8_t SamplesPerPixel(uint32_t outputFormat) {
  switch (outputFormat) {
    case kOutputGrey8:
    case kOutputGrey16:
      return 1;
    case kOutputRgb32:
      return 4;
    default:
      return 3;
  }
}

ColourSiteTable BuildColourSites(bool byteOrder) {
  const uint8_t p = byteOrder ? 0 : 2;  // blue's byte
  const uint8_t q = byteOrder ? 2 : 0;  // red's byte
  // Rows: x even/y even, x even/y odd, x odd/y even, x odd/y odd.
  const uint8_t rows[4][4] = {{1, p, q, 1}, {q, 1, 1, p}, {p, 1, 1, q}, {1, q, p, 1}};
  ColourSiteTable table;
  for (uint32_t b = 0; b < 4; ++b)
    for (uint32_t x = 0; x < 2; ++x)
      for (uint32_t y = 0; y < 2; ++y)
        table.site[ColourSiteTable::index(b, x, y)] = rows[b][2 * x + y];
  return table;
}
