// The "Preview" pin: the camera's live video, pulled frame by frame and time-stamped.
#include "dshow/pins/cpushpindcm.h"

#include "dshow/filter/cdcm.h"
#include "dshow/pins/video_type.h"

CPushPinDcm::CPushPinDcm(HRESULT* phr, CDcm* filter)
    : CDcmPinBase(L"ZerithalPreview", phr, filter, L"Preview") {}

// The worker calls this class's FillBuffer: it must end before this part is gone.
CPushPinDcm::~CPushPinDcm() {
  ShutdownWorker();
}

HRESULT CPushPinDcm::FillBuffer(IMediaSample* sample) {
  FilterCamera* cam = filter()->camera();
  if (!cam) return E_FAIL;
  if (!sample) return E_POINTER;
  BYTE* data = nullptr;
  if (FAILED(sample->GetPointer(&data)) || !data) return E_FAIL;
  // The camera may write no more than the connected format holds, and the sample must hold that:
  // a frame that grew (another region, a rotation) is refused by the camera, never overrun.
  const uint32_t frameBytes = Rgb24FrameBytes(m_mt);
  if (frameBytes == 0 || static_cast<uint64_t>(sample->GetSize()) < frameBytes) return E_FAIL;
  // The pin's command event cancels the camera's wait, so stop and pause are never held up: a
  // command sets it before its caller waits for the worker.
  const HRESULT hr = cam->PullFrameForPin(data, frameBytes, GetRequestHandle());
  if (hr != S_OK) return hr;
  sample->SetActualDataLength(static_cast<long>(frameBytes));
  REFERENCE_TIME start = 0;
  REFERENCE_TIME stop = 0;
  filter()->nextSampleTimes(&start, &stop);
  sample->SetTime(&start, &stop);
  sample->SetSyncPoint(TRUE);
  return S_OK;
}

uint32_t CPushPinDcm::listCount() {
  return camera()->get_ResolutionNumber();
}

HRESULT CPushPinDcm::listSize(uint32_t index, LONG* width, LONG* height) {
  int32_t w = 0;
  int32_t h = 0;
  const HRESULT hr = camera()->get_Resolution(index, &w, &h);
  *width = w;
  *height = h;
  return hr;
}

HRESULT CPushPinDcm::currentIndex(uint32_t* index) {
  return camera()->get_eSize(index);
}

HRESULT CPushPinDcm::selectIndex(uint32_t index) {
  return camera()->put_eSize(index);
}

// The frame as the camera writes it: the region of the current resolution, binned, and turned
// when the camera rotates by 90 or 270 degrees. The connected format, and so every sample
// buffer, is sized from this.
HRESULT CPushPinDcm::currentSize(LONG* width, LONG* height) {
  int32_t w = 0;
  int32_t h = 0;
  const HRESULT hr = camera()->get_FinalSize(&w, &h);
  *width = w;
  *height = h;
  return hr;
}

std::atomic<bool>& CPushPinDcm::formatFixed() {
  return filter()->previewFormatFixed;
}
