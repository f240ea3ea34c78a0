// The "~Still" pin: single stills at the camera's still resolutions, delivered on request.
#include "dshow/pins/cstillpindcm.h"

#include "dshow/filter/cdcm.h"
#include "dshow/pins/video_type.h"

CStillPinDcm::CStillPinDcm(HRESULT* phr, CDcm* filter)
    : CDcmPinBase(L"ZerithalStill", phr, filter, L"~Still") {}

// The worker calls this class's FillBuffer: it must end before this part is gone.
CStillPinDcm::~CStillPinDcm() {
  ShutdownWorker();
}

ILumorixStillImage* CStillPinDcm::stills() const {
  return CameraCompanion<ILumorixStillImage>(camera());
}

// Stills come only when one is asked for: the worker sleeps until a trigger or its next command,
// so a running still pin costs nothing and never holds up stop or pause.
HRESULT CStillPinDcm::FillBuffer(IMediaSample* sample) {
  FilterCamera* cam = filter()->camera();
  if (!cam) return E_FAIL;
  if (!sample) return E_POINTER;
  BYTE* data = nullptr;
  if (FAILED(sample->GetPointer(&data)) || !data) return E_FAIL;
  HANDLE waits[2] = {GetRequestHandle(), filter()->snapshotEvent()};
  // Waits for no thread: a command sets the request before its caller waits.
  const DWORD woken = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
  if (woken == WAIT_OBJECT_0) return S_FALSE;  // a command comes first
  if (woken != WAIT_OBJECT_0 + 1) return E_FAIL;
  // The connected type sizes the sample: a still size changed since (a page, another program)
  // must be refused here and by the camera, never written past the sample's end.
  const VIDEOINFOHEADER* vih = VideoHeader(m_mt);
  const uint32_t frameBytes = Rgb24FrameBytes(m_mt);
  if (!vih || frameBytes == 0 || vih->bmiHeader.biSizeImage < frameBytes ||
      static_cast<uint64_t>(sample->GetSize()) < frameBytes)
    return E_FAIL;
  // The camera's own wait, in its wait table; a command cancels it.
  const HRESULT hr = cam->SnapForPin(data, frameBytes, GetRequestHandle());
  if (hr != S_OK) return FAILED(hr) || hr == S_FALSE ? hr : E_UNEXPECTED;
  sample->SetActualDataLength(static_cast<long>(frameBytes));
  sample->SetTime(nullptr, nullptr);  // a still has no place on the stream clock
  sample->SetSyncPoint(TRUE);
  return S_OK;
}

uint32_t CStillPinDcm::listCount() {
  ILumorixStillImage* still = stills();
  return still ? still->get_StillResolutionNumber() : 0;
}

HRESULT CStillPinDcm::listSize(uint32_t index, LONG* width, LONG* height) {
  ILumorixStillImage* still = stills();
  if (!still) return E_UNEXPECTED;
  int32_t w = 0;
  int32_t h = 0;
  const HRESULT hr = still->get_StillResolution(index, &w, &h);
  *width = w;
  *height = h;
  return hr;
}

HRESULT CStillPinDcm::currentIndex(uint32_t* index) {
  ILumorixStillImage* still = stills();
  return still ? still->get_eStillSize(index) : E_UNEXPECTED;
}

HRESULT CStillPinDcm::selectIndex(uint32_t index) {
  ILumorixStillImage* still = stills();
  return still ? still->put_eStillSize(index) : E_UNEXPECTED;
}

HRESULT CStillPinDcm::currentSize(LONG* width, LONG* height) {
  ILumorixStillImage* still = stills();
  if (!still) return E_UNEXPECTED;
  int32_t w = 0;
  int32_t h = 0;
  const HRESULT hr = still->get_StillSize(&w, &h);
  *width = w;
  *height = h;
  // The camera writes the still turned as it turns the preview.
  if (SUCCEEDED(hr)) turnLikeThePicture(width, height);
  return hr;
}

std::atomic<bool>& CStillPinDcm::formatFixed() {
  return filter()->stillFormatFixed;
}
