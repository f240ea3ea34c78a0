// Saves what a window shows as a 24-bit BMP, for a person to review pages drawn under Xvfb.
#include "tests/wine/windowpicture.h"

#include <cstdio>

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

bool WriteBmp(const std::wstring& path, const BITMAPINFOHEADER& header, const void* bits) {
  File file{_wfopen(path.c_str(), L"wb")};
  if (!file.f) return false;
  BITMAPFILEHEADER fileHeader = {};
  fileHeader.bfType = 0x4D42;  // "BM"
  fileHeader.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  fileHeader.bfSize = fileHeader.bfOffBits + header.biSizeImage;
  return fwrite(&fileHeader, sizeof(fileHeader), 1, file.f) == 1 &&
         fwrite(&header, sizeof(header), 1, file.f) == 1 &&
         fwrite(bits, header.biSizeImage, 1, file.f) == 1;
}

}  // namespace

bool SaveWindowPicture(HWND window, const std::wstring& bmpPath) {
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
  header.biHeight = height;  // bottom-up, as BMP files store rows
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
  return copied && WriteBmp(bmpPath, header, bits);
}
