// RGB24 video media types in a VIDEOINFOHEADER, as both pins build and read them.
#include "dshow/pins/video_type.h"

#include "dshow/pins/media_numbers.h"

namespace {

constexpr WORD kRgb24Bits = 24;

}  // namespace

HRESULT FillRgb24Type(CMediaType* mt, LONG width, LONG height, uint32_t fps) {
  if (!mt) return E_POINTER;
  const uint32_t imageSize = media::rgb24ImageSize(width, height);
  if (imageSize == 0 || height < 0) return E_INVALIDARG;
  mt->InitMediaType();
  auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(mt->AllocFormatBuffer(sizeof(VIDEOINFOHEADER)));
  if (!vih) return E_OUTOFMEMORY;
  vih->AvgTimePerFrame = media::averageTimePerFrame(fps);
  // The advertised rate is the frame size at the resolution's own rate, saturated.
  vih->dwBitRate = media::bitRate(imageSize, fps);
  BITMAPINFOHEADER& bmi = vih->bmiHeader;
  bmi.biSize = sizeof(BITMAPINFOHEADER);
  bmi.biWidth = width;
  bmi.biHeight = height;
  bmi.biPlanes = 1;
  bmi.biBitCount = kRgb24Bits;
  bmi.biCompression = BI_RGB;
  bmi.biSizeImage = imageSize;
  mt->SetType(&MEDIATYPE_Video);
  mt->SetSubtype(&MEDIASUBTYPE_RGB24);
  mt->SetFormatType(&FORMAT_VideoInfo);
  mt->SetTemporalCompression(FALSE);
  mt->SetSampleSize(imageSize);
  return S_OK;
}

const VIDEOINFOHEADER* VideoHeader(const AM_MEDIA_TYPE& mt) {
  // A short block from a caller would be read past its end.
  if (mt.formattype != FORMAT_VideoInfo || !mt.pbFormat) return nullptr;
  if (mt.cbFormat < sizeof(VIDEOINFOHEADER)) return nullptr;
  return reinterpret_cast<const VIDEOINFOHEADER*>(mt.pbFormat);
}

const VIDEOINFOHEADER* Rgb24VideoHeader(const AM_MEDIA_TYPE& mt) {
  if (mt.majortype != MEDIATYPE_Video || !mt.bFixedSizeSamples) return nullptr;
  if (mt.subtype != MEDIASUBTYPE_RGB24) return nullptr;
  return VideoHeader(mt);
}

uint32_t Rgb24FrameBytes(const AM_MEDIA_TYPE& mt) {
  const VIDEOINFOHEADER* vih = VideoHeader(mt);
  if (!vih) return 0;
  return media::rgb24ImageSize(vih->bmiHeader.biWidth, vih->bmiHeader.biHeight);
}
