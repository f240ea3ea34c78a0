// Device properties: sizes, speed, real-time mode, temperature, cooler target, I/O values.
#include <algorithm>
#include <cstdio>

#include "core/base_impl.h"
#include "base/lumorix_flags.h"
#include "core/stream/stream_control.h"
#include "core/stream/stream_pipeline.h"
#include "base/trace.h"
#include "pipeline/pl_helper_base.h"
#include "platform/clock.h"
#include "platform/registry.h"
#include "platform/utf16.h"
#include "usb/cusb.h"

namespace {

struct IoRange {
  uint32_t type, min, max;
};
constexpr IoRange kIoTypes[] = {{4, 0, 1},      {6, 0, 5},     {8, 0, 1},    {10, 0, 1},
                                {12, 0, 20000}, {14, 0, 5},    {16, 0, ~0u}, {18, 1, 1023},
                                {20, 0, 2},     {22, 1, 1023}, {30, 0, 2},   {32, 0, 3},
                                {34, 0, 1},     {36, 0, ~0u},  {38, 0, ~0u}, {40, 0, ~0u}};

bool exposureTyped(uint32_t type) {
  return type == 16 || type == 36 || type == 38;
}

}  // namespace

HRESULT BaseImpl::InitUSB() {
  const HRESULT hr = pipeline_ ? pipeline_->openDevice() : S_OK;
  if (FAILED(hr) || !hasRegistryKey_ || !model_ || model_->ioCount == 0) return hr;
  uint32_t maxUs = 0;
  const bool bounded = SUCCEEDED(get_ExpTimeRangeForIo(&maxUs));
  const std::string key = platform::WideToUtf8(registrySubkey_);
  for (uint32_t index = 0; index < model_->ioCount; ++index) {
    for (const IoRange& row : kIoTypes) {
      char name[32];
      std::snprintf(name, sizeof name, "Io%ux%u", index, row.type);
      uint32_t value = 0;
      if (platform::CurrentRegistry().readDword(key, name, value) != platform::RegStatus::Ok)
        continue;
      if (value < row.min || value > row.max) continue;
      if (exposureTyped(row.type) && bounded && value > maxUs) continue;
      IoControl(index, row.type, static_cast<int32_t>(value), nullptr);
    }
  }
  return hr;
}

HRESULT STDMETHODCALLTYPE BaseImpl::IoControl(uint32_t index, uint32_t type, int32_t value,
                                              int32_t* out) {
  if (!model_ || model_->ioCount == 0 || !ioOperation_) return E_NOTIMPL;
  if (index >= model_->ioCount) return E_INVALIDARG;
  if (type & 1) {
    if (out == nullptr) return E_POINTER;
    return ioOperation_(ioObject_, index, type, value, out);
  }
  ZX_TRACE("%s: index = %u, nType = %u, outVal = %d", "IoControl", index, type, value);
  const auto u = static_cast<uint32_t>(value);
  bool ok = true;
  switch (type) {
    case 4:
    case 8:
    case 10:
      ok = u <= 1;
      break;
    case 6:
      ok = u <= 5;
      break;
    case 12:
      ok = u <= 20000;
      break;
    case 14:
      ok = transportInTriggerMode() && (transport_->triggerMode != 1 || u == 5);
      break;
    case 16:
    case 36:
    case 38: {
      uint32_t maxUs = 0;
      ok = value >= 0 && (FAILED(get_ExpTimeRangeForIo(&maxUs)) || u <= maxUs);
      break;
    }
    case 18:
    case 22:
      ok = u >= 1 && u <= 1023;
      break;
    case 20:
    case 30:
      ok = u <= 2;
      break;
    case 32:
      ok = u <= 3;
      break;
    default:
      break;
  }
  if (!ok) return E_INVALIDARG;
  const HRESULT hr = ioOperation_(ioObject_, index, type, value, out);
  if (SUCCEEDED(hr) && hasRegistryKey_) {
    char name[32];
    std::snprintf(name, sizeof name, "Io%ux%u", index, type);
    platform::CurrentRegistry().writeDword(platform::WideToUtf8(registrySubkey_), name, u);
  }
  return hr;
}

// Through the virtual index and table readers, so a model's own ones decide.
HRESULT STDMETHODCALLTYPE BaseImpl::get_Size(int32_t* width, int32_t* height) {
  if (!width && !height) return E_POINTER;
  uint32_t index = 0;
  const HRESULT hr = get_eSize(&index);
  return FAILED(hr) ? hr : get_Resolution(index, width, height);
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_StillSize(int32_t* width, int32_t* height) {
  if (stillCount() == 0) return E_INVALIDARG;
  const uint32_t index = stillIndex_.load();
  if (index >= previewCount()) return E_INVALIDARG;
  if (width) *width = static_cast<int32_t>(previewTable_[index].width);
  if (height) *height = static_cast<int32_t>(previewTable_[index].height);
  return width || height ? S_OK : E_POINTER;
}

HRESULT STDMETHODCALLTYPE BaseImpl::put_eStillSize(uint32_t index) {
  if (index >= stillCount()) return E_INVALIDARG;
  stillIndex_ = index;  // also while streaming: the next still uses it
  return S_OK;
}

HRESULT STDMETHODCALLTYPE BaseImpl::put_eSize(uint32_t index) {
  if (index >= previewCount()) return E_INVALIDARG;
  if (started_.load() || hasThreads()) return E_UNEXPECTED;
  if (index == previewIndex_.load()) return S_OK;
  if (transport_) transport_->setRequestedRoi(SensorRect{});
  previewIndex_ = index;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_FinalSize(int32_t* width, int32_t* height) {
  if (!width || !height) return E_POINTER;
  const uint32_t index = previewIndex_.load();
  if (index >= previewCount()) return E_UNEXPECTED;
  uint32_t w = previewTable_[index].width;
  uint32_t h = previewTable_[index].height;
  if (transport_) {
    const SensorRect roi = transport_->appliedRoi();
    if (roi.right > roi.left && roi.bottom > roi.top) {
      w = roi.right - roi.left;
      h = roi.bottom - roi.top;
    }
  }
  const uint32_t factor = transport_ ? std::max<uint32_t>(transport_->binning & 0x7F, 1) : 1;
  w = (w / factor) & ~1u;
  h = (h / factor) & ~1u;
  if (pipeline_ && pipeline_->shape().rotated90) std::swap(w, h);
  *width = static_cast<int32_t>(w);
  *height = static_cast<int32_t>(h);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE BaseImpl::put_Speed(uint16_t level) {
  return SetSpeedRestart(level, false);
}

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

HRESULT STDMETHODCALLTYPE BaseImpl::put_TecTarget(int32_t tenths) {
  if ((modelFlags() & LUMORIX_FLAG_TEC) == 0 || !helper_) return E_NOTIMPL;
  if (!helper_->hasFlag(LUMORIX_FLAG_TEC) || !helper_->hasFlag(LUMORIX_FLAG_TECTARGET))
    return E_NOTIMPL;
  if (tenths < -300 || tenths > 300) return E_INVALIDARG;
  helper_->tecTarget = tenths;
  const HRESULT hr = helper_->PLHlperSetTECTarget(tenths);
  return SUCCEEDED(hr) ? InitUSB() : hr;
}

HRESULT STDMETHODCALLTYPE BaseImpl::put_RealTime(uint32_t mode) {
  if (mode > 2) return E_INVALIDARG;
  realTime_ = mode;
  DdrRealtime();
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
