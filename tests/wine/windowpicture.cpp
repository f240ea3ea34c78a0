// Saves what a window shows as a PNG picture, for a person to review pages drawn under Xvfb.
#include "tests/wine/windowpicture.h"

#include <cstdio>
#include <vector>

#include "tests/support/png_encoder.h"

namespace {

struct WindowDc {
  HWND window;
  HDC dc;
  ~WindowDc() {
    if (dc) ReleaseDC(window, dc);
  }
};

struct MemoryDc {
  HDC dc;
  ~MemoryDc() {
    if (dc) DeleteDC(dc);
  }
};

struct Bitmap {
  HBITMAP bitmap;
  ~Bitmap() {
    if (bitmap) DeleteObject(bitmap);
  }
};

struct File {
  FILE* f;
  ~File() {
    if (f) fclose(f);
  }
};

// The section's bottom-up BGR rows as top-down RGB ones.
WindowPixels TopDownRgb(LONG width, LONG height, const uint8_t* bits) {
  WindowPixels pixels{static_cast<uint32_t>(width), static_cast<uint32_t>(height), {}};
  const size_t sourceStride = ((size_t(width) * 24 + 31) / 32) * 4;
  pixels.rgb.resize(size_t(width) * 3 * height);
  for (LONG y = 0; y < height; ++y) {
    const uint8_t* source = bits + (height - 1 - y) * sourceStride;
    uint8_t* target = pixels.rgb.data() + size_t(y) * width * 3;
    for (LONG x = 0; x < width; ++x) {
      target[3 * x] = source[3 * x + 2];
      target[3 * x + 1] = source[3 * x + 1];
      target[3 * x + 2] = source[3 * x];
    }
  }
  return pixels;
}

}  // namespace

WindowPixels CaptureWindowPixels(HWND window) {
  RECT rect;
  if (!IsWindow(window) || !GetWindowRect(window, &rect)) return {};
  const LONG width = rect.right - rect.left;
  const LONG height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return {};

  WindowDc source{window, GetWindowDC(window)};
  if (!source.dc) return {};
  BITMAPINFO info = {};
  BITMAPINFOHEADER& header = info.bmiHeader;
  header.biSize = sizeof(BITMAPINFOHEADER);
  header.biWidth = width;
  header.biHeight = height;  // bottom-up
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  header.biSizeImage = static_cast<DWORD>(((width * 24 + 31) / 32) * 4 * height);
  void* bits = nullptr;
  Bitmap section{CreateDIBSection(source.dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0)};
  MemoryDc target{CreateCompatibleDC(source.dc)};
  if (!section.bitmap || !target.dc) return {};
  HGDIOBJ old = SelectObject(target.dc, section.bitmap);
  const BOOL copied = BitBlt(target.dc, 0, 0, width, height, source.dc, 0, 0, SRCCOPY);
  GdiFlush();
  SelectObject(target.dc, old);
  return copied ? TopDownRgb(width, height, static_cast<const uint8_t*>(bits)) : WindowPixels{};
}

bool SaveWindowPicture(HWND window, const std::wstring& pngPath) {
  const WindowPixels pixels = CaptureWindowPixels(window);
  if (pixels.rgb.empty()) return false;
  const std::vector<uint8_t> png =
      EncodePngRgb(pixels.rgb.data(), size_t{pixels.width} * 3, pixels.width, pixels.height);
  File file{_wfopen(pngPath.c_str(), L"wb")};
  return !png.empty() && file.f && fwrite(png.data(), png.size(), 1, file.f) == 1;
}
