// Writes an RGB24 video frame as a BMP file.
#pragma once

#include <windows.h>

#include <cstddef>
#include <filesystem>

// The frame of an RGB24 VIDEOINFOHEADER is a DIB as it stands (bottom-up for a positive height):
// the file is the two headers and the bytes. False when the file cannot be written.
bool WriteRgb24Bmp(const std::filesystem::path& path, const BITMAPINFOHEADER& format,
                   const BYTE* pixels, size_t bytes);
