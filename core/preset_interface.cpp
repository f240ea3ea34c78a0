// The preset interface, the serial number and the model name: the camera's side of the preset
// store. The list, like every restart, is serialised by the control lock.
#include <algorithm>
#include <cstring>
#include <mutex>

#include "base/lumorix_events.h"
#include "base/trace.h"
#include "core/base_impl.h"
#include "core/stream/event_sink.h"
#include "core/stream/stream_control.h"
#include "pipeline/device_values.h"
#include "pipeline/exposure_notice.h"
#include "pipeline/pl_helper_base.h"
#include "pipeline/pl_start.h"
#include "pipeline/preset_apply.h"
#include "pipeline/store/eeprom_data.h"
#include "pipeline/store/preset_store.h"
#include "platform/utf16.h"
#include "usb/cusb.h"

namespace {

using ListGuard = std::lock_guard<std::mutex>;

constexpr HRESULT kNoPreset = static_cast<HRESULT>(0xFFFFFFFF);
constexpr HRESULT kEmptyName = static_cast<HRESULT>(0xFFFFFFFE);
constexpr HRESULT kNameTaken = static_cast<HRESULT>(0xFFFFFFFD);
constexpr size_t kRecordNameUnits = std::size(PresetRecord{}.name);
constexpr size_t kNameBytes = 64;  // get_Name's buffer, with the terminator

bool hasState(const PLHlperBase& h) {
  return h.ctx8 || h.ctx16;
}

bool sameName(const WCHAR16* a, const WCHAR16* b) {
  for (size_t i = 0; i < kRecordNameUnits; ++i) {
    if (a[i] != b[i]) return false;
    if (a[i] == 0) return true;
  }
  return true;
}

// Units before the terminator, up to limit (limit: none within it).
size_t boundedLength(const WCHAR16* text, size_t limit) {
  size_t n = 0;
  while (n < limit && text[n] != 0) ++n;
  return n;
}

}  // namespace

std::unique_lock<ControlLock> BaseImpl::controlUnlessOwnThread() {
  if (onCameraThread()) return std::unique_lock<ControlLock>(controlLock_, std::defer_lock);
  return std::unique_lock<ControlLock>(controlLock_);
}

uint32_t STDMETHODCALLTYPE BaseImpl::get_PresetCount() {
  if (!helper_) return 0;
  ListGuard list(helper_->presetLock());
  return static_cast<uint32_t>(helper_->presets().size());
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_PresetModel(WCHAR16* name) {
  if (!name) return E_POINTER;
  if (!helper_) return E_UNEXPECTED;
  std::copy_n(helper_->presetName(), kPresetNameUnits, name);  // terminated by construction
  return S_OK;
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_Preset(uint32_t index, PresetRecord* preset) {
  if (!preset) return E_POINTER;
  if (!helper_) return E_UNEXPECTED;
  ListGuard list(helper_->presetLock());
  PresetGet(helper_->presets(), preset, index);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE BaseImpl::AddPreset(const WCHAR16* name) {
  if (!name) return E_POINTER;
  if (!helper_) return kNoPreset;
  const auto control = controlUnlessOwnThread();
  PLHlperBase& h = *helper_;
  if (!hasState(h)) return kNoPreset;
  if (name[0] == 0) return kEmptyName;
  const size_t length = boundedLength(name, kRecordNameUnits);
  if (length >= kRecordNameUnits) return E_INVALIDARG;
  ListGuard list(h.presetLock());
  for (const PresetRecord& r : h.presets())
    if (sameName(r.name, name)) return kNameTaken;
  PresetRecord record;
  CapturePreset(h, &record);
  std::copy_n(name, length, record.name);
  h.presets().push_back(record);
  return PresetSave(h);
}

HRESULT STDMETHODCALLTYPE BaseImpl::OverwritePreset(uint32_t index) {
  if (!helper_) return kNoPreset;
  const auto control = controlUnlessOwnThread();
  PLHlperBase& h = *helper_;
  ListGuard list(h.presetLock());
  if (!hasState(h) || index >= h.presets().size()) return kNoPreset;
  PresetRecord record;
  CapturePreset(h, &record);
  std::copy(std::begin(h.presets()[index].name), std::end(h.presets()[index].name), record.name);
  h.presets()[index] = record;
  return PresetSave(h);
}

HRESULT STDMETHODCALLTYPE BaseImpl::put_Presets(const PresetRecord* records, uint32_t count) {
  if (count > 0 && !records) return E_POINTER;
  if (uint64_t{count} * sizeof(PresetRecord) > kPresetMaxBytes) return E_INVALIDARG;
  if (!helper_) return E_UNEXPECTED;
  PLHlperBase& h = *helper_;
  std::vector<PresetRecord> copied(records, records + count);
  for (PresetRecord& r : copied) {
    r.name[kRecordNameUnits - 1] = 0;
    if (h.presetKeepVignette()) continue;
    r.settings.vignetteEnable = 0;
    r.settings.vignetteAmount = 0;
    r.settings.vignetteMidpoint = 0;
  }
  ListGuard list(h.presetLock());
  h.presets() = std::move(copied);
  return PresetSave(h);
}

// A restart is decided before anything is applied, so a camera thread is refused untouched.
bool BaseImpl::presetWouldRestart(uint32_t index) {
  if (!started_.load() || !helper_) return false;
  if (index == kDefaultPresetIndex) return true;
  PresetRecord r;
  {
    ListGuard list(helper_->presetLock());
    PresetGet(helper_->presets(), &r, index);
  }
  if (r.name[0] == 0) return false;
  ValidatePreset(*helper_, r);
  const bool deferring = transport_ && transport_->bDeferSpeed();
  return PresetPixelFormat(r) != helper_->pixelFormat || (deferring && r.speed != helper_->speed);
}

HRESULT STDMETHODCALLTYPE BaseImpl::LoadPreset(uint32_t index) {
  ZX_TRACE("%s: %u", "LoadPreset", index);
  if (!helper_) return kNoPreset;
  PLHlperBase& h = *helper_;
  const bool factory = index == kDefaultPresetIndex;
  if (onCameraThread() && presetWouldRestart(index)) return kWrongThread;
  const ExposureNoticeDeferral notice(h);  // the user's callback runs after the control lock
  auto guard = controlUnlessOwnThread();
  const uint16_t oldSpeed = h.speed;
  const uint8_t oldFormat = h.pixelFormat;
  uint8_t format = oldFormat;
  uint16_t speed = oldSpeed;
  const int32_t applied = ApplyPreset(h, index, &format, &speed);
  if (applied != 0) return applied;
  if (!started_.load()) {
    if (factory) StreamControl(*this).FactoryResetDiscard();
    if (format != oldFormat) SetPixelFormat(h, format, 1, 0);
    if (guard.owns_lock()) guard.unlock();
    // Raised unlocked, so a host calling back in from it is answered as from anywhere else.
    if (factory) EventSink(*this).raise(kEventFactoryReset);
    return S_OK;
  }
  if (guard.owns_lock()) guard.unlock();
  return finishPresetLoad(factory, oldSpeed, speed, format != oldFormat, format);
}

// The restarts a started camera needs once the preset is applied: a deferred speed change (which
// the open device has not taken: it goes in while the camera is stopped), the factory reset, a
// new pixel format. Each goes through the control lock itself.
HRESULT BaseImpl::finishPresetLoad(bool factory, uint16_t oldSpeed, uint16_t speed,
                                   bool formatChanged, uint8_t format) {
  PLHlperBase& h = *helper_;
  const auto switchFormat = [&] {
    if (formatChanged) SetPixelFormat(h, format, 1, started() ? 1 : 0);
  };
  if (speed != oldSpeed && transport_ && transport_->bDeferSpeed()) {
    const HRESULT hr = factory ? RestartStream(true, false,
                                               [&] {
                                                 PL_SetSpeed(h, speed);
                                                 FactoryResetNotify();
                                                 switchFormat();
                                               })
                               : SetSpeedRestart(speed, true);
    if (FAILED(hr) || factory || !formatChanged) return hr;
    return RestartStream(false, false, switchFormat);
  }
  if (!factory && !formatChanged) return S_OK;
  const HRESULT hr = RestartStream(false, factory, [&] {
    if (factory) {
      FactoryResetNotify();
      if (transport_) transport_->setRequestedRoi(transport_->requestedRoi());
    }
    switchFormat();
  });
  if (factory && SUCCEEDED(hr)) DdrRealtime();
  return hr;
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_SerialNumber(char serial[32]) {
  if (!serial) return E_POINTER;
  if (!helper_) return E_UNEXPECTED;
  const auto control = controlUnlessOwnThread();
  const int32_t opened = helper_->PLHlperInit();
  if (opened < 0) return opened;
  if (!started_.load()) LoadEepromData(*helper_);
  if (!helper_->serialValid) return E_FAIL;
  std::memcpy(serial, helper_->serial, sizeof helper_->serial);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_Name(char* name) {
  if (!name) return E_POINTER;
  if (!model_ || !model_->displayName) return E_UNEXPECTED;
  const std::string text = platform::WideToUtf8(model_->displayName);
  const size_t n = std::min(text.size(), kNameBytes - 1);
  std::memcpy(name, text.data(), n);
  name[n] = 0;
  return S_OK;
}
