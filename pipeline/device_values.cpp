// The only writers of the device values: speed, skip, fan, cooler, the per-mode exposure times,
// the precise frame rate and the bandwidth.
#include "pipeline/device_values.h"

#include <algorithm>
#include <mutex>

#include "base/lumorix_flags.h"
#include "pipeline/exposure_notice.h"
#include "pipeline/pl_frame_hooks.h"
#include "pipeline/pl_helper_base.h"
#include "pipeline/store/device_settings.h"

namespace {
using Lock = std::lock_guard<platform::RecursiveLock>;
}  // namespace

// A device that takes its speed only at its next start, asked while open, keeps the stored one:
// the speed reported stays the one it runs. The model re-applies the exposure with the new speed:
// its notice follows the lock's release.
HRESULT PL_SetSpeed(PLHlperBase& h, uint16_t speed, uint8_t force) {
  const ExposureNoticeDeferral notice(h);
  Lock hold(h.sensorLock());
  if (!force && speed == h.speed) return S_OK;
  const uint16_t running = h.speed;
  h.speed = speed;
  const HRESULT hr = h.PLHlperSetSpeed(speed, force);
  if (hr != S_FALSE) return hr;
  h.speed = running;
  return S_OK;
}

// A reprogrammed sensor hands its exposure over again: that notice follows once the lock is
// released. One that only marks its window pending raises it at the grabber's region step.
HRESULT PL_SetSkip(PLHlperBase& h, uint32_t skip, bool persist) {
  const ExposureNoticeDeferral notice(h);
  Lock hold(h.sensorLock());
  const HRESULT hr = h.PLHlperSetSkip(skip);
  if (SUCCEEDED(hr)) h.skip = skip;
  if (persist) SaveSkip(h.regKey, h.skip);
  return hr;
}

HRESULT PL_SetFan(PLHlperBase& h, uint16_t speed) {
  if (!h.hasFlag(LUMORIX_FLAG_FAN)) return E_NOTIMPL;
  if (speed > h.fanMaxSpeed) return E_INVALIDARG;
  Lock hold(h.sensorLock());
  h.fanSpeed = speed;
  if (speed == 0 && h.hasFlag(LUMORIX_FLAG_TEC) && h.hasFlag(LUMORIX_FLAG_TECTARGET)) {
    h.tecOn = 0;
    h.PLHlperSetTEC(0);
  }
  return h.PLHlperSetFan(speed);
}

HRESULT PL_SetTec(PLHlperBase& h, uint32_t on) {
  if (!h.hasFlag(LUMORIX_FLAG_TEC) || !h.hasFlag(LUMORIX_FLAG_TECTARGET)) return E_NOTIMPL;
  Lock hold(h.sensorLock());
  h.tecOn = on;
  if (on && h.fanSpeed == 0) PL_SetFan(h, h.fanMaxSpeed);
  return h.PLHlperSetTEC(on);
}

HRESULT PL_SetTecTarget(PLHlperBase& h, int32_t tenths) {
  Lock hold(h.sensorLock());
  h.tecTarget = tenths;
  return h.PLHlperSetTECTarget(tenths);
}

bool PL_SetExposureTime(PLHlperBase& h, uint32_t us) {
  const bool hasState = WithState(h, [&](auto& c) {
    Lock hold(*c.mtxSettings);
    c.settings.expoTime = std::max(c.timeMin, std::min(us, c.timeMax));
    c.curTime = c.settings.expoTime;  // AE's last hand-over: the next step starts from here
  });
  if (hasState) ExpoProcTime(h, 0);
  return hasState;
}

HRESULT PL_SetModeExpoTime(PLHlperBase& h, bool trigger, uint32_t us) {
  bool current;
  {
    Lock hold(h.sensorLock());
    (trigger ? h.triggerModeTime : h.videoModeTime) = us;
    current = trigger == h.PLHlperIsTrigger();
  }
  if (current && !PL_SetExposureTime(h, us)) {
    Lock hold(h.sensorLock());
    h.appliedTime = us;
    h.PLHlperSetExpoTime(us);
  }
  SaveModeTime(h, trigger, us);
  return S_OK;
}

uint32_t PL_ModeExpoTime(PLHlperBase& h, bool trigger) {
  Lock hold(h.sensorLock());
  return trigger ? h.triggerModeTime : h.videoModeTime;
}

void PL_StoreModeExpoTime(PLHlperBase& h, uint32_t us) {
  Lock hold(h.sensorLock());
  (h.PLHlperIsTrigger() ? h.triggerModeTime : h.videoModeTime) = us;
}

namespace {
// The value named after the running state's depth: the state lock comes first.
HRESULT setPrecise(PLHlperBase& h, uint32_t value, bool whateverTheAnswer) {
  std::shared_lock<PLStateLock> state(h.stateLock());
  Lock hold(h.sensorLock());
  const HRESULT hr = h.SetPreciseFrameRate(value);
  if (FAILED(hr) && !whateverTheAnswer) return hr;
  h.preciseFrameRate = value;
  SavePrecise(h.regKey, value, h.resolutionIndex, h.hasHighBitState());
  return hr;
}
}  // namespace

HRESULT PL_SetPreciseFrameRate(PLHlperBase& h, uint32_t value) {
  return setPrecise(h, value, false);
}

void PL_ApplyPresetPreciseFrameRate(PLHlperBase& h, uint32_t value) {
  setPrecise(h, value, true);
}

HRESULT PL_SetBandwidth(PLHlperBase& h, uint32_t percent) {
  Lock hold(h.sensorLock());
  const HRESULT hr = h.SetBandwidth(percent, true);
  if (FAILED(hr)) return hr;
  h.bandwidth = percent;
  SaveBandwidth(h.regKey, percent);
  return hr;
}

void PL_ApplyPresetBandwidth(PLHlperBase& h, uint32_t percent) {
  Lock hold(h.sensorLock());
  h.SetBandwidth(percent, false);
  h.bandwidth = percent;
  SaveBandwidth(h.regKey, percent);
}
