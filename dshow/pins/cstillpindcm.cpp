// The "~Still" pin: single stills at the camera's still resolutions, delivered on request.
#include "dshow/pins/cstillpindcm.h"

#include "dshow/filter/cdcm.h"

CStillPinDcm::CStillPinDcm(HRESULT* phr, CDcm* filter)
    : CDcmPinBase(L"ZerithalStill", phr, filter, L"~Still") {}

// The worker calls this class's FillBuffer: it must end before this part is gone.
CStillPinDcm::~CStillPinDcm() {
  ShutdownWorker();
}

ILumorixStillImage* CStillPinDcm::stills() const {
  return CameraCompanion<ILumorixStillImage>(camera());
}

// Stills come only when one is asked for; without a request the worker sleeps until its next
// command, so a running still pin costs nothing and never holds up stop or pause.
HRESULT CStillPinDcm::FillBuffer(IMediaSample* /*sample*/) {
  WaitForSingleObject(GetRequestHandle(), INFINITE);
  return S_FALSE;
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
  return hr;
}

std::atomic<bool>& CStillPinDcm::formatFixed() {
  return filter()->stillFormatFixed;
}
