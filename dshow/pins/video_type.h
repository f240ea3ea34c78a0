// RGB24 video media types in a VIDEOINFOHEADER, as both pins build and read them.
#pragma once

#include <windows.h>
#include <dshow.h>

#include <cstdint>

#include "dshow/base/cmediatype.h"

// The type of one resolution: a zero-filled header, rows bottom-up, numbers from media_numbers;
// E_INVALIDARG for an empty, top-down or unrepresentable size.
HRESULT FillRgb24Type(CMediaType* mt, LONG width, LONG height, uint32_t fps);

// The header of a type whose format block holds a whole VIDEOINFOHEADER, or null.
const VIDEOINFOHEADER* VideoHeader(const AM_MEDIA_TYPE& mt);
// The same, for fixed-size RGB24 video only.
const VIDEOINFOHEADER* Rgb24VideoHeader(const AM_MEDIA_TYPE& mt);
// The bytes a camera writes for the type's geometry, whatever biSizeImage claims; 0 for none.
uint32_t Rgb24FrameBytes(const AM_MEDIA_TYPE& mt);
