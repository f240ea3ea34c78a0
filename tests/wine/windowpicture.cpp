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

// The section's bottom-up BGR rows as a top-down RGB PNG file.
bool WritePng(const std::wstring& path, const BITMAPINFOHEADER& header, const uint8_t* bits) {
  const auto width = static_cast<uint32_t>(header.biWidth);
  const auto height = static_cast<uint32_t>(header.biHeight);
  const size_t sourceStride = ((size_t{width} * 24 + 31) / 32) * 4;
  std::vector<uint8_t> rgb(size_t{width} * 3 * height);
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* source = bits + (height - 1 - y) * sourceStride;
    uint8_t* target = rgb.data() + size_t{y} * width * 3;
    for (uint32_t x = 0; x < width; ++x) {
      target[3 * x] = source[3 * x + 2];
      target[3 * x + 1] = source[3 * x + 1];
      target[3 * x + 2] = source[3 * x];
    }
  }
  const std::vector<uint8_t> png = EncodePngRgb(rgb.data(), size_t{width} * 3, width, height);
  File file{_wfopen(path.c_str(), L"wb")};
  return !png.empty() && file.f && fwrite(png.data(), png.size(), 1, file.f) == 1;
}

}  // namespace

bool SaveWindowPicture(HWND window, const std::wstring& pngPath) {
  RECT rect;
  if (!IsWindow(window) || !GetWindowRect(window, &rect)) return false;
  const LONG width = rect.right - rect.left;
  const LONG height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return false;

  WindowDc source{window, GetWindowDC(window)};
  if (!source.dc) return false;
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
  if (!section.bitmap || !target.dc) return false;
  HGDIOBJ old = SelectObject(target.dc, section.bitmap);
  const BOOL copied = BitBlt(target.dc, 0, 0, width, height, source.dc, 0, 0, SRCCOPY);
  GdiFlush();
  SelectObject(target.dc, old);
  return copied && WritePng(pngPath, header, static_cast<const uint8_t*>(bits));
}
