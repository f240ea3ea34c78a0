// A window's client area as it paints itself into memory.
#include "tests/wine/client_pixels.h"

ClientPixels PrintClientPixels(HWND window) {
  ClientPixels out;
  RECT client = {0, 0, 0, 0};
  if (!GetClientRect(window, &client) || client.right <= 0 || client.bottom <= 0) return out;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = client.right;
  info.bmiHeader.biHeight = -client.bottom;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = dc ? CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
  if (bitmap && bits) {
    const HGDIOBJ old = SelectObject(dc, bitmap);
    SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    GdiFlush();
    const auto* pixels = static_cast<const uint32_t*>(bits);
    out.width = client.right;
    out.height = client.bottom;
    out.rgb.assign(pixels, pixels + size_t(client.right) * size_t(client.bottom));
    for (uint32_t& p : out.rgb) p &= 0xFFFFFF;
    SelectObject(dc, old);
  }
  if (bitmap) DeleteObject(bitmap);
  if (dc) DeleteDC(dc);
  return out;
}
