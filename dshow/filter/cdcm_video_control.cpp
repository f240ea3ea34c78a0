// The filter's still trigger: IAMVideoControl signals the snapshot event the still pin waits on.
#include "dshow/filter/cdcm.h"
#include "dshow/pins/cstillpindcm.h"

namespace {

constexpr LONG kTriggerFlag = VideoControlFlag_Trigger;
constexpr LONG kLowByte = 0xFF;

}  // namespace

HRESULT STDMETHODCALLTYPE CDcm::GetCaps(IPin* /*pin*/, LONG* flags) {
  if (!flags) return E_POINTER;
  ILumorixStillImage* stills = CameraCompanion<ILumorixStillImage>(lumorix());
  *flags = (stills && stills->get_StillResolutionNumber() > 0) ? kTriggerFlag : 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CDcm::SetMode(IPin* pin, LONG mode) {
  if ((mode & kLowByte & kTriggerFlag) == 0) return S_OK;
  return TriggerStill(pin);
}

// Stills come only on a trigger: there is no mode to read back.
HRESULT STDMETHODCALLTYPE CDcm::GetMode(IPin* /*pin*/, LONG* mode) {
  if (!mode) return E_POINTER;
  *mode = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CDcm::GetCurrentActualFrameRate(IPin*, LONGLONG*) {
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CDcm::GetMaxAvailableFrameRate(IPin*, LONG, SIZE, LONGLONG*) {
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CDcm::GetFrameRateList(IPin*, LONG, SIZE, LONG*, LONGLONG**) {
  return E_NOTIMPL;
}

HRESULT CDcm::TriggerStill(IPin* pin) {
  if (!lumorix()) return E_UNEXPECTED;
  if (!still_ || pin != static_cast<IPin*>(still_)) return E_FAIL;
  snapshot_.Set();
  return S_OK;
}
