// Media types in task memory, as pins hand them across COM.
#pragma once

#include <windows.h>
#include <strmif.h>

// A task-memory copy of src; null when memory runs out.
AM_MEDIA_TYPE* WINAPI CreateMediaType(const AM_MEDIA_TYPE* src);
// Deep copy of src into dst (format block and a reference on pUnk); E_OUTOFMEMORY leaves dst empty.
HRESULT WINAPI CopyMediaType(AM_MEDIA_TYPE* dst, const AM_MEDIA_TYPE* src);
// Frees what a media type owns, leaving it without format.
void WINAPI FreeMediaType(AM_MEDIA_TYPE& mt);
// Frees a media type made by CreateMediaType, and the type itself.
void WINAPI DeleteMediaType(AM_MEDIA_TYPE* mt);
