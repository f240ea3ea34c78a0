// Writes an RGB24 video frame as a BMP file.
#include "tools/capture_host/bmp.h"

#include <fstream>

bool WriteRgb24Bmp(const std::filesystem::path& path, const BITMAPINFOHEADER& format,
                   const BYTE* pixels, size_t bytes) {
  BITMAPINFOHEADER info = format;
  info.biSize = sizeof(info);  // a video header may carry a larger one; the file has this
  info.biCompression = BI_RGB;
  info.biSizeImage = static_cast<DWORD>(bytes);
  BITMAPFILEHEADER file = {};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof(file) + sizeof(info);
  file.bfSize = static_cast<DWORD>(file.bfOffBits + bytes);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(&file), sizeof(file));
  out.write(reinterpret_cast<const char*>(&info), sizeof(info));
  out.write(reinterpret_cast<const char*>(pixels), static_cast<std::streamsize>(bytes));
  out.close();
  return !out.fail();
}
