// The numbered I/O values: their ranges, the stored copies and their restore at open.
#include <cstdio>

#include "core/base_impl.h"
#include "core/stream/stream_pipeline.h"
#include "base/trace.h"
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

// The model's exposure maximum bounds the time-valued types; a model without a range leaves them
// unbounded.
bool exposureMaximum(ILumorix& camera, uint32_t* maxUs) {
  uint32_t minUs = 0, defaultUs = 0;
  return SUCCEEDED(camera.get_ExpTimeRange(&minUs, maxUs, &defaultUs));
}

}  // namespace

HRESULT BaseImpl::InitUSB() {
  const HRESULT hr = pipeline_ ? pipeline_->openDevice() : S_OK;
  if (FAILED(hr) || !hasRegistryKey_ || !model_ || model_->ioCount == 0) return hr;
  uint32_t maxUs = 0;
  const bool bounded = exposureMaximum(*this, &maxUs);
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
      ok = value >= 0 && (!exposureMaximum(*this, &maxUs) || u <= maxUs);
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
