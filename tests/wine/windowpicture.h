// Saves what a window shows as a PNG picture, for a person to review pages drawn under Xvfb.
#pragma once

#include <windows.h>

#include <string>

// Copies the window's pixels with BitBlt from its DC (PrintWindow draws nothing under wine).
// The window must be visible and painted. False when it cannot be captured or written.
bool SaveWindowPicture(HWND window, const std::wstring& pngPath);
