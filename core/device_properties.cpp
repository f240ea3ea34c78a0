// Device properties: speed and frame rate, real-time mode, skip, temperature, fan, cooler and
// the exposure time kept per trigger mode. Each checks once (helperWith) and forwards to the
// pipeline, the only writer of these values.

#include "base/lumorix_flags.h"
#include "base/trace.h"
#include "core/base_impl.h"
#include "core/stream/stream_pipeline.h"
#include "pipeline/device_values.h"
#include "pipeline/exposure_notice.h"
#include "pipeline/pl_helper_base.h"
#include "platform/clock.h"
#include "usb/cusb.h"

namespace {

constexpr uint64_t kTriggerFlags = LUMORIX_FLAG_TRIGGER_SOFT | LUMORIX_FLAG_TRIGGER_EXT;

}  // namespace

PLHlperBase* BaseImpl::helperWith(uint64_t flag, const char* caller) const {
  if ((modelFlags() & flag) != 0 && helper_) return helper_;
  ZX_TRACE("%s: not supported", caller);
  return nullptr;
}

// --- Speed and frame rate ----------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE BaseImpl::get_Speed(uint16_t* level) {
  if (get_MaxSpeed() < 1) return E_UNEXPECTED;
  if (level == nullptr) return E_POINTER;
  *level = helper_ ? helper_->speed : 0;
  return S_OK;
}

// The exposure notice of the new speed reaches the host once the control lock is released. The
// deferral is a plain local: its end may throw, which no wrapper's destructor would let through.
HRESULT STDMETHODCALLTYPE BaseImpl::put_Speed(uint16_t level) {
  if (!helper_) return SetSpeedRestart(level, false);
  const ExposureNoticeDeferral notice(*helper_);
  return SetSpeedRestart(level, false);
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
  if (frames) *frames = reading.frames;
  if (ms) *ms = reading.ms;
  return S_OK;
}

HRESULT BaseImpl::get_FrameStats(uint32_t* rate, uint32_t* grabbed, uint32_t* second) {
  if (!rate && !grabbed && !second) return E_POINTER;
  if (rate) {
    // A rate only once the statistics hold two samples; before that it would be a guess.
    const FrameRateReading reading = frameRate_.read(platform::TickCountMs());
    const bool valid = frameRate_.sampleCount() >= 2 && reading.ms != 0;
    *rate = valid ? static_cast<uint32_t>(uint64_t{reading.frames} * 1000 / reading.ms) : 0;
  }
  if (grabbed) *grabbed = framesGrabbed_.load();
  if (second) *second = framesDelivered_.load();
  return S_OK;
}

uint32_t BaseImpl::lostFrames() const {
  return const_cast<CFrameRate&>(frameRate_).lostFrames();
}

uint32_t STDMETHODCALLTYPE BaseImpl::get_GrabRetry() {
  return transport_ ? transport_->GetGrabRetry() : 0;
}

HRESULT STDMETHODCALLTYPE BaseImpl::put_RealTime(uint32_t mode) {
  if (mode > 2) return E_INVALIDARG;
  realTime_ = mode;
  DdrRealtime();
  return S_OK;
}

// --- Skip --------------------------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE BaseImpl::get_Skip(uint32_t* skip) {
  PLHlperBase* h = helperWith(LUMORIX_FLAG_SKIP, "get_Skip");
  if (!h) return E_NOTIMPL;
  if (skip == nullptr) return E_POINTER;
  *skip = h->skip;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE BaseImpl::put_Skip(uint32_t skip) {
  PLHlperBase* h = helperWith(LUMORIX_FLAG_SKIP, "put_Skip");
  if (!h) return E_NOTIMPL;
  PL_SetSkip(*h, skip, hasRegistryKey_);  // the device decides; its answer is not the caller's
  return S_OK;
}

// --- Temperature and cooler --------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE BaseImpl::get_Temperature(int16_t* tenths) {
  if ((modelFlags() & LUMORIX_FLAG_TEMPERATURE) == 0) return E_NOTIMPL;
  if (tenths == nullptr) return E_POINTER;
  const HRESULT open = InitUSB();
  if (FAILED(open)) return open;
  if (!transport_) return E_NOTIMPL;
  int16_t reading = 0;
  const HRESULT hr = transport_->GetTemperature(&reading);
  if (FAILED(hr)) return hr;
  if (reading < -500 || reading > 1500) return E_FAIL;
  *tenths = reading;
  return hr;
}

HRESULT STDMETHODCALLTYPE BaseImpl::put_Temperature(int16_t tenths) {
  if ((modelFlags() & LUMORIX_FLAG_TECTARGET_HW) == 0) return put_TecTarget(tenths);
  return transport_ ? transport_->SetTemperature(tenths) : E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_Tec(uint32_t* on) {
  PLHlperBase* h = helperWith(LUMORIX_FLAG_TEC, "get_Tec");
  if (!h) return E_NOTIMPL;
  if (on == nullptr) return E_POINTER;
  *on = (modelFlags() & LUMORIX_FLAG_TECTARGET) ? h->tecOn : 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE BaseImpl::put_Tec(uint32_t on) {
  if (!helperWith(LUMORIX_FLAG_TEC, "put_Tec")) return E_NOTIMPL;
  const HRESULT hr = pipeline_ ? pipeline_->setTec(on) : E_NOTIMPL;
  return FAILED(hr) ? hr : InitUSB();
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_TecTarget(int32_t* tenths) {
  PLHlperBase* h = helperWith(LUMORIX_FLAG_TEC, "get_TecTarget");
  if (!h) return E_NOTIMPL;
  if (tenths == nullptr) return E_POINTER;
  *tenths = h->tecTarget;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE BaseImpl::put_TecTarget(int32_t tenths) {
  PLHlperBase* h = helperWith(LUMORIX_FLAG_TEC, "put_TecTarget");
  if (!h || !h->hasFlag(LUMORIX_FLAG_TEC) || !h->hasFlag(LUMORIX_FLAG_TECTARGET)) return E_NOTIMPL;
  if (tenths < -300 || tenths > 300) return E_INVALIDARG;
  const HRESULT hr = PL_SetTecTarget(*h, tenths);
  return SUCCEEDED(hr) ? InitUSB() : hr;
}

// --- Fan ---------------------------------------------------------------------------------------

uint32_t STDMETHODCALLTYPE BaseImpl::get_FanMaxSpeed() {
  PLHlperBase* h = helperWith(LUMORIX_FLAG_FAN, "get_FanMaxSpeed");
  return h ? h->fanMaxSpeed : static_cast<uint32_t>(E_NOTIMPL);
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_FanSpeed(uint16_t* speed) {
  PLHlperBase* h = helperWith(LUMORIX_FLAG_FAN, "get_FanSpeed");
  if (!h) return E_NOTIMPL;
  if (speed == nullptr) return E_POINTER;
  *speed = h->hasFlag(LUMORIX_FLAG_FAN) ? h->fanSpeed : 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE BaseImpl::put_FanSpeed(uint16_t speed) {
  if (!helperWith(LUMORIX_FLAG_FAN, "put_FanSpeed")) return E_NOTIMPL;
  const HRESULT hr = pipeline_ ? pipeline_->setFan(speed) : E_NOTIMPL;
  return FAILED(hr) ? hr : InitUSB();
}

// --- Exposure time per trigger mode ------------------------------------------------------------

HRESULT STDMETHODCALLTYPE BaseImpl::get_ModeExpoTime(int32_t trigger, uint32_t* us) {
  if (us == nullptr) return E_POINTER;
  PLHlperBase* h = helperWith(kTriggerFlags, "get_ModeExpoTime");
  if (!h) return E_NOTIMPL;
  *us = PL_ModeExpoTime(*h, trigger != 0);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE BaseImpl::put_ModeExpoTime(uint32_t trigger, uint32_t us) {
  PLHlperBase* h = helperWith(kTriggerFlags, "put_ModeExpoTime");
  return h ? PL_SetModeExpoTime(*h, trigger != 0, us) : E_NOTIMPL;
}
