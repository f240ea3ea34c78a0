// Saves what a window shows as a PNG picture, for a person to review pages drawn under Xvfb.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// What a window shows: rows top-down, three bytes (red, green, blue) a pixel.
struct WindowPixels {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint8_t> rgb;  // empty when the window could not be captured
};

// Copies the window's pixels with BitBlt from its DC (PrintWindow draws nothing under wine).
// The window must be visible and painted.
WindowPixels CaptureWindowPixels(HWND window);
// The same pixels as a PNG file. False when they cannot be captured or written.
bool SaveWindowPicture(HWND window, const std::wstring& pngPath);
