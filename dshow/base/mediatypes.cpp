// Media types in task memory, as pins hand them across COM, and the RGB24 video helpers.
#include "dshow/base/mediatypes.h"

#include <objbase.h>
#include <uuids.h>
#include <amvideo.h>

#include <cstdint>
#include <cstring>

#include "dshow/base/cmediatype.h"

AM_MEDIA_TYPE* WINAPI CreateMediaType(const AM_MEDIA_TYPE* src) {
  if (!src) return nullptr;
  auto* mt = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
  if (!mt) return nullptr;
  if (FAILED(CopyMediaType(mt, src))) {
    CoTaskMemFree(mt);
    return nullptr;
  }
  return mt;
}

HRESULT WINAPI CopyMediaType(AM_MEDIA_TYPE* dst, const AM_MEDIA_TYPE* src) {
  if (!dst || !src) return E_POINTER;
  *dst = *src;
  if (src->cbFormat && src->pbFormat) {
    dst->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(src->cbFormat));
    if (!dst->pbFormat) {
      dst->cbFormat = 0;
      dst->pUnk = nullptr;
      return E_OUTOFMEMORY;
    }
    std::memcpy(dst->pbFormat, src->pbFormat, src->cbFormat);
  } else {
    dst->pbFormat = nullptr;
    dst->cbFormat = 0;
  }
  if (dst->pUnk) dst->pUnk->AddRef();
  return S_OK;
}

void WINAPI FreeMediaType(AM_MEDIA_TYPE& mt) {
  if (mt.pbFormat) CoTaskMemFree(mt.pbFormat);
  mt.pbFormat = nullptr;
  mt.cbFormat = 0;
  if (mt.pUnk) mt.pUnk->Release();
  mt.pUnk = nullptr;
}

void WINAPI DeleteMediaType(AM_MEDIA_TYPE* mt) {
  if (!mt) return;
  FreeMediaType(*mt);
  CoTaskMemFree(mt);
}

DWORD Rgb24ImageSize(LONG width, LONG height) {
  if (width <= 0 || height == 0) return 0;
  const uint64_t rowBytes = ((static_cast<uint64_t>(width) * 24 + 31) / 32) * 4;
  const uint64_t rows = height < 0 ? -static_cast<int64_t>(height) : height;
  const uint64_t bytes = rowBytes * rows;
  return bytes > 0xFFFFFFFFull ? 0 : static_cast<DWORD>(bytes);
}

HRESULT InitRgb24VideoInfo(CMediaType* mt, LONG width, LONG height,
                           REFERENCE_TIME avgTimePerFrame) {
  if (!mt) return E_POINTER;
  const DWORD imageSize = Rgb24ImageSize(width, height);
  if (imageSize == 0 || avgTimePerFrame < 0) return E_INVALIDARG;
  auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(mt->AllocFormatBuffer(sizeof(VIDEOINFOHEADER)));
  if (!vih) return E_OUTOFMEMORY;
  vih->AvgTimePerFrame = avgTimePerFrame;
  if (avgTimePerFrame > 0) {
    const uint64_t bitRate = uint64_t{imageSize} * 8 * 10000000 / avgTimePerFrame;
    vih->dwBitRate = bitRate > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<DWORD>(bitRate);
  }
  BITMAPINFOHEADER& bmi = vih->bmiHeader;
  bmi.biSize = sizeof(BITMAPINFOHEADER);
  bmi.biWidth = width;
  bmi.biHeight = height;
  bmi.biPlanes = 1;
  bmi.biBitCount = 24;
  bmi.biCompression = BI_RGB;
  bmi.biSizeImage = imageSize;
  mt->SetType(&MEDIATYPE_Video);
  mt->SetSubtype(&MEDIASUBTYPE_RGB24);
  mt->SetFormatType(&FORMAT_VideoInfo);
  mt->SetTemporalCompression(FALSE);
  mt->SetSampleSize(imageSize);
  return S_OK;
}
