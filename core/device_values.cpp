// Device properties beyond the image: resolution lookups, frame rate, skip, temperature, fan,
// cooler and the exposure time kept per trigger mode.
#include "core/base_impl.h"
#include "base/lumorix_flags.h"
#include "pipeline/store/device_settings.h"
#include "pipeline/pl_helper_base.h"
#include "core/stream/stream_pipeline.h"
#include "platform/clock.h"
#include "usb/cusb.h"

#include <mutex>

namespace {

constexpr uint64_t kTriggerFlags = LUMORIX_FLAG_TRIGGER_SOFT | LUMORIX_FLAG_TRIGGER_EXT;

template <class T>
HRESULT writePair(T* a, T* b, T va, T vb) {
  if (a) *a = va;
  if (b) *b = vb;
  return S_OK;
}

}  // namespace

HRESULT STDMETHODCALLTYPE BaseImpl::get_Resolution(uint32_t index, int32_t* width,
                                                   int32_t* height) {
  if (index >= previewCount()) return E_INVALIDARG;
  return writePair(width, height, static_cast<int32_t>(previewTable_[index].width),
                   static_cast<int32_t>(previewTable_[index].height));
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_ResolutionRatio(uint32_t index, int32_t* numerator,
                                                        int32_t* denominator) {
  if (index >= previewCount()) return E_INVALIDARG;
  return writePair(numerator, denominator,
                   static_cast<int32_t>(previewTable_[index].ratioNumerator),
                   static_cast<int32_t>(previewTable_[index].ratioDenominator));
}

HRESULT STDMETHODCALLTYPE BaseImpl::put_Size(int32_t width, int32_t height) {
  const int32_t index =
      FindResolutionIndex(static_cast<uint32_t>(width), static_cast<uint32_t>(height));
  if (width < 0 || height < 0 || index < 0) return E_INVALIDARG;
  return put_eSize(static_cast<uint32_t>(index));  // a model's own body when it has one
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_eSize(uint32_t* index) {
  if (index == nullptr) return E_POINTER;
  *index = previewIndex_.load();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE BaseImpl::put_StillSize(int32_t width, int32_t height) {
  const int32_t index =
      FindResolutionIndex(static_cast<uint32_t>(width), static_cast<uint32_t>(height));
  if (width < 0 || height < 0 || index < 0) return E_INVALIDARG;
  return put_eStillSize(static_cast<uint32_t>(index));
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_eStillSize(uint32_t* index) {
  if (stillCount() == 0) return E_INVALIDARG;
  if (index == nullptr) return E_POINTER;
  *index = stillIndex_.load();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_StillResolution(uint32_t index, int32_t* width,
                                                        int32_t* height) {
  if (index >= stillCount() || index >= previewCount()) return E_INVALIDARG;
  return get_Resolution(index, width, height);
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_Speed(uint16_t* level) {
  if (get_MaxSpeed() < 1) return E_UNEXPECTED;
  if (level == nullptr) return E_POINTER;
  *level = helper_ ? helper_->speed : 0;
  return S_OK;
}

uint32_t STDMETHODCALLTYPE BaseImpl::get_MaxFrameRate() {
  return get_MaxFrameRateOf(previewIndex_.load());
}

uint32_t STDMETHODCALLTYPE BaseImpl::get_MaxFrameRateOf(uint32_t index) {
  return transport_ ? transport_->GetMaxFrameRate(index) : 0;
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_FrameRate(uint32_t* frames, uint32_t* ms, uint32_t* total) {
  if (!frames && !ms && !total) return E_POINTER;
  if (total) *total = frameRate_.framesCounted();
  const FrameRateReading reading = frameRate_.read(platform::TickCountMs());
  return writePair(frames, ms, reading.frames, reading.ms);
}

uint32_t STDMETHODCALLTYPE BaseImpl::get_GrabRetry() {
  return transport_ ? transport_->GetGrabRetry() : 0;
}

HRESULT STDMETHODCALLTYPE BaseImpl::put_Skip(uint32_t skip) {
  if ((modelFlags() & LUMORIX_FLAG_SKIP) == 0 || !helper_) return E_NOTIMPL;
  helper_->PLHlperSetSkip(skip);  // the device decides; its answer is not the caller's
  if (hasRegistryKey_) SaveSkip(helper_->regKey, helper_->skip);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_Skip(uint32_t* skip) {
  if ((modelFlags() & LUMORIX_FLAG_SKIP) == 0 || !helper_) return E_NOTIMPL;
  if (skip == nullptr) return E_POINTER;
  *skip = helper_->skip;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE BaseImpl::put_Temperature(int16_t tenths) {
  if ((modelFlags() & LUMORIX_FLAG_TECTARGET_HW) == 0) return put_TecTarget(tenths);
  return transport_ ? transport_->SetTemperature(tenths) : E_NOTIMPL;
}

uint32_t STDMETHODCALLTYPE BaseImpl::get_FanMaxSpeed() {
  if ((modelFlags() & LUMORIX_FLAG_FAN) == 0 || !helper_) return static_cast<uint32_t>(E_NOTIMPL);
  return helper_->fanMaxSpeed;
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_FanSpeed(uint16_t* speed) {
  if ((modelFlags() & LUMORIX_FLAG_FAN) == 0 || !helper_) return E_NOTIMPL;
  if (speed == nullptr) return E_POINTER;
  *speed = helper_->hasFlag(LUMORIX_FLAG_FAN) ? helper_->fanSpeed : 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE BaseImpl::put_FanSpeed(uint16_t speed) {
  if ((modelFlags() & LUMORIX_FLAG_FAN) == 0 || !helper_) return E_NOTIMPL;
  const HRESULT hr = pipeline_ ? pipeline_->setFan(speed) : E_NOTIMPL;
  return FAILED(hr) ? hr : InitUSB();
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_Tec(uint32_t* on) {
  if ((modelFlags() & LUMORIX_FLAG_TEC) == 0 || !helper_) return E_NOTIMPL;
  if (on == nullptr) return E_POINTER;
  *on = (modelFlags() & LUMORIX_FLAG_TECTARGET) ? helper_->tecOn : 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE BaseImpl::put_Tec(uint32_t on) {
  if ((modelFlags() & LUMORIX_FLAG_TEC) == 0 || !helper_) return E_NOTIMPL;
  const HRESULT hr = pipeline_ ? pipeline_->setTec(on) : E_NOTIMPL;
  return FAILED(hr) ? hr : InitUSB();
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_TecTarget(int32_t* tenths) {
  if ((modelFlags() & LUMORIX_FLAG_TEC) == 0 || !helper_) return E_NOTIMPL;
  if (tenths == nullptr) return E_POINTER;
  *tenths = helper_->tecTarget;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE BaseImpl::put_ModeExpoTime(uint32_t trigger, uint32_t us) {
  if ((modelFlags() & kTriggerFlags) == 0 || !helper_) return E_NOTIMPL;
  const bool inTrigger = helper_->PLHlperIsTrigger();
  (trigger != 0 ? helper_->triggerModeTime : helper_->videoModeTime) = us;
  if ((trigger != 0) == inTrigger) {
    std::lock_guard<platform::RecursiveLock> hold(helper_->sensorLock());
    helper_->PLHlperSetExpoTime(us);
  }
  SaveModeTime(*helper_, trigger != 0, us);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_ModeExpoTime(int32_t trigger, uint32_t* us) {
  if (us == nullptr) return E_POINTER;
  if ((modelFlags() & kTriggerFlags) == 0 || !helper_) return E_NOTIMPL;
  *us = trigger != 0 ? helper_->triggerModeTime : helper_->videoModeTime;
  return S_OK;
}
