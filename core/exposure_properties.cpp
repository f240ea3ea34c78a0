// Exposure properties: time and gain, auto exposure and its limits, the AE window mark, light
// frequency and the histogram request. Each checks once, then forwards to the pipeline's setter
// or reads the active state under its settings lock.
#include <algorithm>

#include "base/lumorix_flags.h"
#include "base/trace.h"
#include "core/base_impl.h"
#include "core/state_access.h"
#include "pipeline/algorithms/auto_exposure.h"
#include "pipeline/pl_start.h"

using namespace state_access;

namespace {

constexpr uint16_t kAeTargetMin = 16;
constexpr uint16_t kAeTargetMax = 220;
constexpr uint32_t kAeMinTimeDefaultUs = 10000;
constexpr uint16_t kAeMinGainDefault = 100;
constexpr uint32_t kHistogramOnce = 1;
constexpr uint32_t kHistogramFull = 3;  // with option 5 on

}  // namespace

// --- Auto exposure -----------------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE BaseImpl::get_AutoExpoEnable(uint32_t* on) {
  return readSetting(helper_, on, E_UNEXPECTED, [](auto& c) { return c.settings.aeEnable; });
}

HRESULT STDMETHODCALLTYPE BaseImpl::put_AutoExpoEnable(uint32_t on) {
  if (!helper_) return E_UNEXPECTED;
  const HRESULT hr = PL_SetAutoExpoEnable(*helper_, on);
  if (ddrMode_.load() == 0) DdrRealtime();
  return hr;
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_AutoExpoTarget(uint16_t* target) {
  return readSetting(helper_, target, E_FAIL, [](auto& c) { return c.settings.aeTarget; });
}

// The whole value is tested: 272 must not pass as its low byte 16.
HRESULT STDMETHODCALLTYPE BaseImpl::put_AutoExpoTarget(uint16_t target) {
  if (target < kAeTargetMin || target > kAeTargetMax) return E_INVALIDARG;
  // The byte is printed as an unsigned: the Windows runtime's format check knows no %hhu.
  ZX_TRACE("%s: %u", "PL_SetAutoExpoTarget", unsigned{static_cast<uint8_t>(target)});
  return writeSetting(helper_, E_FAIL, [&](auto& c) {
    if (c.settings.aeTarget == target) return;
    c.aeStatus = kAeNoReference;  // the next frame measures against the new target
    c.aeCallCount = kAeCallCountStepNext;
    c.settings.aeTarget = static_cast<uint8_t>(target);
  });
}

HRESULT STDMETHODCALLTYPE BaseImpl::put_AutoExpoMaxTimeAGain(uint32_t us, uint16_t percent) {
  return helper_ ? PL_SetAeMax(*helper_, us, percent) : E_UNEXPECTED;
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_AutoExpoMaxTimeAGain(uint32_t* us, uint16_t* percent) {
  if (!helper_) return E_UNEXPECTED;
  Lock hold(helper_->sensorLock());
  if (us) *us = helper_->aeMaxTime;
  if (percent) *percent = helper_->aeMaxGain;
  return S_OK;
}

// The helper keeps the minimum for later states; the running auto exposure's floor only rises,
// so a lower minimum never lets it below what the state already holds.
HRESULT STDMETHODCALLTYPE BaseImpl::put_AutoExpoMinTimeAGain(uint32_t us, uint16_t percent) {
  PLHlperBase* h = helper_;
  if (!h) return E_UNEXPECTED;
  const uint32_t time = std::max(us ? us : kAeMinTimeDefaultUs, h->timeMin);
  const uint16_t gain = std::max(percent ? percent : kAeMinGainDefault, h->gainMin);
  {
    Lock hold(h->sensorLock());
    h->aeMinTime = time;
    h->aeMinGain = gain;
  }
  writeSetting(h, S_OK, [&](auto& c) {
    c.aeTimeMin = std::max(c.aeTimeMin, time);
    c.aeGainMin = std::max(c.aeGainMin, gain);
  });
  return S_OK;
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_AutoExpoMinTimeAGain(uint32_t* us, uint16_t* percent) {
  if (!helper_) return E_UNEXPECTED;
  Lock hold(helper_->sensorLock());
  if (us) *us = helper_->aeMinTime;
  if (percent) *percent = helper_->aeMinGain;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE BaseImpl::put_AeWindowMark(int32_t on) {
  return writeSetting(helper_, E_UNEXPECTED, [&](auto& c) { c.aeMarkWindow = on != 0; });
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_AeWindowMark(uint32_t* on) {
  return readSetting(helper_, on, E_UNEXPECTED, [](auto& c) { return c.aeMarkWindow != 0; });
}

// --- Time and gain -----------------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE BaseImpl::get_ExpoTime(uint32_t* us) {
  const HRESULT hr =
      readSetting(helper_, us, E_UNEXPECTED, [](auto& c) { return c.settings.expoTime; });
  if (hr == E_UNEXPECTED && helper_) {
    Lock hold(helper_->sensorLock());  // the exposure paths write it under this lock
    *us = helper_->appliedTime;
  }
  return hr;
}

HRESULT STDMETHODCALLTYPE BaseImpl::put_ExpoTime(uint32_t us) {
  return helper_ ? PL_SetExpoTime(*helper_, us) : E_UNEXPECTED;
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_ExpoAGain(uint16_t* percent) {
  const HRESULT hr =
      readSetting(helper_, percent, E_UNEXPECTED, [](auto& c) { return c.settings.expoGain; });
  if (hr == E_UNEXPECTED && helper_) {
    Lock hold(helper_->sensorLock());
    *percent = helper_->appliedGain;
  }
  return hr;
}

HRESULT STDMETHODCALLTYPE BaseImpl::put_ExpoAGain(uint16_t percent) {
  return helper_ ? PL_SetExpoAGain(*helper_, percent) : E_UNEXPECTED;
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_RealExpoTime(uint32_t* us) {
  return readSetting(helper_, us, E_UNEXPECTED,
                     [](auto& c) { return AeSnapExposureTime(&c, c.settings.expoTime); });
}

// --- Light frequency ---------------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE BaseImpl::put_LightFrequency(uint32_t mode) {
  PLHlperBase* h = helperWith(LUMORIX_FLAG_LIGHTFREQ, "put_LightFrequency");
  return h ? PL_SetLightFrquency(*h, mode) : E_NOTIMPL;
}

// Without a state, or on a state that ignores the mains, the answer is steady light.
HRESULT STDMETHODCALLTYPE BaseImpl::get_LightFrequency(uint32_t* mode) {
  PLHlperBase* h = helperWith(LUMORIX_FLAG_LIGHTFREQ, "get_LightFrequency");
  if (!h) return E_NOTIMPL;
  readSettingOr(h, mode, uint32_t{kLightSteady}, E_UNEXPECTED, [](auto& c) {
    return c.hasLightFrequency ? c.settings.lightFrequency : uint32_t{kLightSteady};
  });
  return mode ? S_OK : E_POINTER;
}

// --- Histogram ---------------------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE BaseImpl::GetHistogram(LumorixHistogramCallback callback, void* context) {
  return GetHistogramEx(callback, context, optHistogram_ ? kHistogramFull : kHistogramOnce);
}

// The helper's copy is written under the state's lock, the one its hand-over reads it under.
HRESULT STDMETHODCALLTYPE BaseImpl::GetHistogramEx(LumorixHistogramCallback callback, void* context,
                                                   uint32_t kind) {
  if (!started() || !helper_) return E_UNEXPECTED;
  PLHlperBase& h = *helper_;
  statsNotify_.set(callback, context);  // waits for a call of the old pair on another thread
  writeSetting(&h, S_OK, [&](auto&) {
    h.statsCallback = callback ? statsThroughSlot : nullptr;
    h.statsCallbackCtx = this;
    h.statsRequest = kind;
  });
  PL_SetStatsCallback(h);
  return S_OK;
}
