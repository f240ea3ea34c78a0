// One rectangle per coordinate space and the one padded-row formula of device-independent bitmaps.
#pragma once

#include <cstdint>

// A region or window in sensor pixels (a full-resolution frame); right and bottom exclusive; all
// zero means none. Crosses the camera interface: its layout stays four unsigned words.
struct SensorRect {
  uint32_t left;
  uint32_t top;
  uint32_t right;
  uint32_t bottom;
};
static_assert(sizeof(SensorRect) == 16);

// A window in pixels of the processed image; right and bottom exclusive; may reach outside it.
struct ImageRect {
  int32_t left, top, right, bottom;
};

// A rectangle in a page control's client pixels; right and bottom inclusive of the drawn edge.
struct ControlRect {
  int32_t left, top, right, bottom;
};

// Bytes in one bitmap row of `width` pixels of `bitsPerPixel`, padded to a 4-byte boundary.
constexpr uint64_t DibRowBytes(uint64_t bitsPerPixel, uint64_t width) {
  return (bitsPerPixel * width + 31u) / 32u * 4u;
}
