// One rectangle per coordinate space and the one padded-row formula of device-independent bitmaps.
#pragma once

#include <cstdint>

// A window in pixels of the processed frame; right and bottom exclusive.
struct FrameRect {
  int32_t left, top, right, bottom;
};
