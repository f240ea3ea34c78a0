// A window's client area as it paints itself into memory (WM_PRINTCLIENT), for tests that read
// what a custom-drawn control drew without showing it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

struct ClientPixels {
  LONG width = 0;
  LONG height = 0;
  std::vector<uint32_t> rgb;  // 0x00RRGGBB, top row first
  uint32_t at(LONG x, LONG y) const { return rgb[size_t(y) * size_t(width) + size_t(x)]; }
};

// Empty when the window has no client area or the memory bitmap cannot be made.
ClientPixels PrintClientPixels(HWND window);
