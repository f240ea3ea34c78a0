// A throw-away RGB24 source filter on the base layer, for the tests only (never in zerithal.ax).
#include "tests/dshow/testsource/testsource.h"

#include <cstring>
#include <new>

#include "dshow/base/mediatypes.h"
#include "dshow/base/pin_category.h"
#include "dshow/pins/video_type.h"

TestSourceStream::TestSourceStream(HRESULT* phr, CSource* filter, const WCHAR* name)
    : CSourceStream(L"TestSourceStream", phr, filter, name),
      fillEntered(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

TestSourceStream::~TestSourceStream() {
  ShutdownWorker();
  CloseHandle(fillEntered);
}

HRESULT STDMETHODCALLTYPE TestSourceStream::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IKsPropertySet) return GetInterface(static_cast<IKsPropertySet*>(this), ppv);
  if (riid == IID_IAMStreamConfig) return GetInterface(static_cast<IAMStreamConfig*>(this), ppv);
  return CSourceStream::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT TestSourceStream::GetMediaType(int position, CMediaType* mt) {
  if (!mt) return E_POINTER;
  if (position < 0) return E_INVALIDARG;
  const int chosen = chosenType_.load();
  if (position > (chosen < 0 ? 1 : 0)) return VFW_S_NO_MORE_ITEMS;
  const LONG scale = (chosen < 0 ? position : chosen) + 1;
  return FillRgb24Type(mt, kTestWidth / scale, kTestHeight / scale, kTestFps);
}

HRESULT TestSourceStream::DecideBufferSize(IMemAllocator* allocator,
                                           ALLOCATOR_PROPERTIES* request) {
  if (!allocator || !request) return E_POINTER;
  if (request->cBuffers < 2) request->cBuffers = 2;
  request->cbBuffer = static_cast<long>(m_mt.GetSampleSize());
  ALLOCATOR_PROPERTIES actual = {};
  const HRESULT hr = allocator->SetProperties(request, &actual);
  if (FAILED(hr)) return hr;
  if (actual.cbBuffer < request->cbBuffer || actual.cBuffers < request->cBuffers) return E_FAIL;
  return S_OK;
}

HRESULT TestSourceStream::FillBuffer(IMediaSample* sample) {
  SetEvent(fillEntered);
  switch (fill.load()) {
    case Fill::Fail:
      return E_ABORT;
    case Fill::BlockUntilCommand:
      // As the camera does: a command for the worker cancels the wait.
      WaitForSingleObject(GetRequestHandle(), INFINITE);
      return S_FALSE;
    case Fill::Frames:
      break;
  }
  if (frameDelayMs.load()) Sleep(frameDelayMs.load());
  BYTE* data = nullptr;
  if (FAILED(sample->GetPointer(&data))) return E_FAIL;
  const long size = static_cast<long>(m_mt.GetSampleSize());
  if (sample->GetSize() < size) return E_FAIL;
  std::memset(data, static_cast<int>(frame_ & 0xFF), static_cast<size_t>(size));
  sample->SetActualDataLength(size);
  REFERENCE_TIME start = frame_ * kTestFrameTime;
  REFERENCE_TIME stop = start + kTestFrameTime;
  sample->SetTime(&start, &stop);
  sample->SetSyncPoint(TRUE);
  ++frame_;
  return S_OK;
}

HRESULT TestSourceStream::OnThreadCreate() {
  ++threadsCreated;
  workerThreadId = GetCurrentThreadId();
  frame_ = 0;
  return createResult.load();
}

HRESULT TestSourceStream::OnThreadDestroy() {
  ++threadsDestroyed;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TestSourceStream::Set(REFGUID, DWORD, LPVOID, DWORD, LPVOID, DWORD) {
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE TestSourceStream::Get(REFGUID set, DWORD id, LPVOID /*instance*/,
                                                DWORD /*instanceLength*/, LPVOID data,
                                                DWORD dataLength, DWORD* returned) {
  return GetPinCategoryProperty(set, id, data, dataLength, returned, PIN_CATEGORY_CAPTURE);
}

HRESULT STDMETHODCALLTYPE TestSourceStream::QuerySupported(REFGUID set, DWORD id, DWORD* support) {
  if (set != AMPROPSETID_Pin) return E_PROP_SET_UNSUPPORTED;
  if (id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
  if (support) *support = KSPROPERTY_SUPPORT_GET;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TestSourceStream::SetFormat(AM_MEDIA_TYPE* mt) {
  if (!mt) return E_POINTER;
  if (IsConnected()) return VFW_E_ALREADY_CONNECTED;
  if (mt->formattype != FORMAT_VideoInfo || mt->cbFormat < sizeof(VIDEOINFOHEADER) ||
      !mt->pbFormat) {
    return E_INVALIDARG;
  }
  const BITMAPINFOHEADER& bmi = reinterpret_cast<const VIDEOINFOHEADER*>(mt->pbFormat)->bmiHeader;
  for (int type = 0; type < 2; ++type) {
    if (bmi.biWidth == kTestWidth / (type + 1) && bmi.biHeight == kTestHeight / (type + 1)) {
      chosenType_ = type;
      return S_OK;
    }
  }
  return E_INVALIDARG;
}

HRESULT STDMETHODCALLTYPE TestSourceStream::GetFormat(AM_MEDIA_TYPE** mt) {
  if (!mt) return E_POINTER;
  CMediaType type;
  const HRESULT hr = GetMediaType(0, &type);
  if (FAILED(hr)) return hr;
  *mt = CreateMediaType(&type);
  return *mt ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE TestSourceStream::GetNumberOfCapabilities(int* count, int* size) {
  if (!count || !size) return E_POINTER;
  *count = 2;
  *size = sizeof(VIDEO_STREAM_CONFIG_CAPS);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TestSourceStream::GetStreamCaps(int index, AM_MEDIA_TYPE** mt,
                                                          BYTE* caps) {
  if (!mt || !caps) return E_POINTER;
  if (index < 0 || index > 1) return S_FALSE;
  const LONG width = kTestWidth / (index + 1), height = kTestHeight / (index + 1);
  CMediaType type;
  const HRESULT hr = FillRgb24Type(&type, width, height, kTestFps);
  if (FAILED(hr)) return hr;
  VIDEO_STREAM_CONFIG_CAPS config = {};
  config.guid = FORMAT_VideoInfo;
  config.InputSize = config.MinOutputSize = config.MaxOutputSize = {width, height};
  config.MinFrameInterval = config.MaxFrameInterval = kTestFrameTime;
  std::memcpy(caps, &config, sizeof(config));
  *mt = CreateMediaType(&type);
  return *mt ? S_OK : E_OUTOFMEMORY;
}

CUnknown* TestSourceFilter::CreateInstance(IUnknown* outer, HRESULT* phr) {
  auto* filter = new (std::nothrow) TestSourceFilter(outer, phr);
  if (!filter && phr) *phr = E_OUTOFMEMORY;
  return filter;
}

TestSourceFilter::TestSourceFilter(IUnknown* outer, HRESULT* phr, int streams)
    : CSource(L"TestSourceFilter", outer, CLSID_ZxTestSource, phr) {
  static const WCHAR* const names[2] = {L"Capture", L"Second"};
  for (int i = 0; i < streams && i < 2; ++i) {
    streams_[i] = new (std::nothrow) TestSourceStream(phr, this, names[i]);
    if (!streams_[i] && phr) *phr = E_OUTOFMEMORY;
  }
}
