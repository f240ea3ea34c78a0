// Media types in task memory, as pins hand them across COM, and the RGB24 video helpers.
#pragma once

#include <windows.h>
#include <strmif.h>

class CMediaType;

// A task-memory copy of src; null when memory runs out.
AM_MEDIA_TYPE* WINAPI CreateMediaType(const AM_MEDIA_TYPE* src);
// Deep copy of src into dst (format block and a reference on pUnk); E_OUTOFMEMORY leaves dst empty.
HRESULT WINAPI CopyMediaType(AM_MEDIA_TYPE* dst, const AM_MEDIA_TYPE* src);
// Frees what a media type owns, leaving it without format.
void WINAPI FreeMediaType(AM_MEDIA_TYPE& mt);
// Frees a media type made by CreateMediaType, and the type itself.
void WINAPI DeleteMediaType(AM_MEDIA_TYPE* mt);

// Bytes of a bottom-up or top-down RGB24 image with rows padded to 4 bytes; 0 when it does not fit.
DWORD Rgb24ImageSize(LONG width, LONG height);
// Makes mt uncompressed RGB24 video in a VIDEOINFOHEADER of this size.
HRESULT InitRgb24VideoInfo(CMediaType* mt, LONG width, LONG height, REFERENCE_TIME avgTimePerFrame);
