// Option handlers kept by the device and its transport. Fan and cooler go through the camera's
// own (virtual) properties, so a model's overrides answer here as well.
#include "core/option_device.h"

#include "base/lumorix_flags.h"
#include "base/trace.h"
#include "core/base_impl.h"
#include "core/option_access.h"
#include "pipeline/device_values.h"
#include "pipeline/pl_helper_base.h"
#include "usb/cusb.h"
#include "usb/vendor_requests.h"

namespace {

constexpr uint8_t kDeviceResetRequest = usb::req::kDeviceCommandFirst;
constexpr uint32_t kTecReadingIndex = 6, kTecInfoIndex = 7;
constexpr uint32_t kBandwidthMax = 100;

// The transport when the model has one of flag's bits; else null.
CUsb* transportWith(const BaseImpl& camera, uint64_t flag) {
  return (camera.modelFlags() & flag) ? OptionAccess::transport(camera) : nullptr;
}

PLHlperBase* preciseHelper(const BaseImpl& camera) {
  const bool precise = (camera.modelFlags() & LUMORIX_FLAG_PRECISE_FRAMERATE) != 0;
  return precise ? OptionAccess::helper(camera) : nullptr;
}

}  // namespace

// --- Fan and cooler ---------------------------------------------------------------------------

HRESULT putFanOption(BaseImpl& camera, int32_t value) {
  return camera.put_FanSpeed(uint16_t(value));
}

HRESULT getFanOption(BaseImpl& camera, int32_t* value) {
  uint16_t speed = 0;
  const HRESULT hr = camera.get_FanSpeed(&speed);
  if (SUCCEEDED(hr)) *value = speed;
  return hr;
}

HRESULT putTecOption(BaseImpl& camera, int32_t value) {
  return camera.put_Tec(value != 0 ? 1 : 0);
}

HRESULT getTecOption(BaseImpl& camera, int32_t* value) {
  uint32_t on = 0;
  const HRESULT hr = camera.get_Tec(&on);
  if (SUCCEEDED(hr)) *value = int32_t(on);
  return hr;
}

HRESULT putTecTargetOption(BaseImpl& camera, int32_t value) {
  return camera.put_TecTarget(value);
}

HRESULT getTecTargetOption(BaseImpl& camera, int32_t* value) {
  return camera.get_TecTarget(value);
}

HRESULT putNotImplementedOption(BaseImpl&, int32_t) {
  return E_NOTIMPL;
}

HRESULT getNotImplementedOption(BaseImpl&, int32_t*) {
  return E_NOTIMPL;
}

// The model's description first, then the transport's reading, which has to be a real one.
HRESULT getTecReadingOption(BaseImpl& camera, int32_t* value) {
  PLHlperBase* h = OptionAccess::helper(camera);
  CUsb* usb = transportWith(camera, LUMORIX_FLAG_TEC);
  if (!h || !usb) return E_NOTIMPL;
  int32_t info = 0;
  h->PLHlperGetTecInfo(kTecReadingIndex, &info);
  const uint32_t reading = usb->GetTecInfo();
  if (reading == kNoTecInfo) return E_FAIL;
  *value = int32_t(reading);
  return S_OK;
}

HRESULT getTecInfoOption(BaseImpl& camera, int32_t* value) {
  PLHlperBase* h = OptionAccess::helper(camera);
  if (!h || !(camera.modelFlags() & LUMORIX_FLAG_TEC)) return E_NOTIMPL;
  int32_t info = 0;
  h->PLHlperGetTecInfo(kTecInfoIndex, &info);
  *value = info;
  return S_OK;
}

// --- Device reset, focus and the model's values -------------------------------------------------

HRESULT putDeviceResetOption(BaseImpl& camera, int32_t) {
  ZX_TRACE("DEVICE_RESET");
  const HRESULT open = camera.InitUSB();
  if (FAILED(open)) return open;
  // Held as the raw requests hold it: no stop on another thread closes the handle under it.
  const auto hold = OptionAccess::deviceLock(camera);
  CUsb* usb = OptionAccess::transport(camera);
  if (!usb) return E_NOTIMPL;
  const usb::VenReqHeader header{usb::Direction::Out, kDeviceResetRequest, 0, 0};
  return usb->VenReq(&header, nullptr, 0, nullptr);
}

HRESULT putFocusPosOption(BaseImpl& camera, int32_t value) {
  CUsb* usb = transportWith(camera, LUMORIX_FLAG_FOCUS);
  return usb ? usb->SetOption36(value) : E_NOTIMPL;
}

HRESULT getFocusPosOption(BaseImpl& camera, int32_t* value) {
  CUsb* usb = transportWith(camera, LUMORIX_FLAG_FOCUS);
  return usb ? usb->GetOption36(value) : E_NOTIMPL;
}

HRESULT putFocusCmdOption(BaseImpl& camera, int32_t value) {
  CUsb* usb = transportWith(camera, LUMORIX_FLAG_FOCUS);
  return usb ? usb->SetOption37(value) : E_NOTIMPL;
}

HRESULT getFocusCmdOption(BaseImpl& camera, int32_t* value) {
  CUsb* usb = transportWith(camera, LUMORIX_FLAG_FOCUS);
  return usb ? usb->GetOption37(value) : E_NOTIMPL;
}

HRESULT putDevice38Option(BaseImpl& camera, int32_t value) {
  CUsb* usb = transportWith(camera, LUMORIX_FLAG_BIT23);
  return usb ? usb->SetOption38(value) : E_NOTIMPL;
}

HRESULT getDevice38Option(BaseImpl& camera, int32_t* value) {
  CUsb* usb = transportWith(camera, LUMORIX_FLAG_BIT23);
  return usb ? usb->GetOption38(value) : E_NOTIMPL;
}

HRESULT getDevice39Option(BaseImpl& camera, int32_t* value) {
  CUsb* usb = transportWith(camera, LUMORIX_FLAG_BIT23);
  return usb ? usb->GetOption39(value) : E_NOTIMPL;
}

// No model supplies the optional extra I/O object this code drives.
HRESULT putExtraOption(BaseImpl&, int32_t) {
  return E_NOTIMPL;
}

// --- Grab loop timeout ----------------------------------------------------------------------

HRESULT putNoPacketTimeoutOption(BaseImpl& camera, int32_t value) {
  ZX_TRACE("NOPACKET_TIMEOUT: %d", value);
  if (value < 0) return E_INVALIDARG;
  CUsb* usb = OptionAccess::transport(camera);
  if (!usb) return E_UNEXPECTED;
  usb->noPacketTimeoutMs = uint32_t(value);
  return S_OK;
}

HRESULT getNoPacketTimeoutOption(BaseImpl& camera, int32_t* value) {
  CUsb* usb = OptionAccess::transport(camera);
  if (!usb) return E_UNEXPECTED;
  *value = int32_t(usb->noPacketTimeoutMs.load());
  return S_OK;
}

// --- Precise frame rate and bandwidth -----------------------------------------------------------

HRESULT getPreciseFrameRateMaxOption(BaseImpl& camera, int32_t* value) {
  CUsb* usb = transportWith(camera, LUMORIX_FLAG_PRECISE_FRAMERATE);
  if (!usb) return E_NOTIMPL;
  *value = int32_t(usb->GetPreciseFrameRateMax());
  return S_OK;
}

HRESULT getPreciseFrameRateMinOption(BaseImpl& camera, int32_t* value) {
  CUsb* usb = transportWith(camera, LUMORIX_FLAG_PRECISE_FRAMERATE);
  if (!usb) return E_NOTIMPL;
  *value = int32_t(usb->GetPreciseFrameRateMin());
  return S_OK;
}

HRESULT putPreciseFrameRateOption(BaseImpl& camera, int32_t value) {
  PLHlperBase* h = preciseHelper(camera);
  CUsb* usb = transportWith(camera, LUMORIX_FLAG_PRECISE_FRAMERATE);
  if (!h || !usb) return E_NOTIMPL;
  ZX_TRACE("OPTION_PRECISE_FRAMERATE: %d", value);
  if (value < 1 || uint32_t(value) > usb->GetPreciseFrameRateMax()) return E_INVALIDARG;
  if (h->preciseFrameRate == uint32_t(value)) return S_FALSE;
  return PL_SetPreciseFrameRate(*h, uint32_t(value));
}

HRESULT getPreciseFrameRateOption(BaseImpl& camera, int32_t* value) {
  PLHlperBase* h = OptionAccess::helper(camera);
  if (!h) return E_UNEXPECTED;
  *value = int32_t(h->preciseFrameRate);
  return S_OK;
}

HRESULT putBandwidthOption(BaseImpl& camera, int32_t value) {
  PLHlperBase* h = preciseHelper(camera);
  if (!h) return E_NOTIMPL;
  ZX_TRACE("OPTION_BANDWIDTH: %d", value);
  if (value < 1 || uint32_t(value) > kBandwidthMax) return E_INVALIDARG;
  if (h->bandwidth == uint32_t(value)) return S_FALSE;
  return PL_SetBandwidth(*h, uint32_t(value));
}

HRESULT getBandwidthOption(BaseImpl& camera, int32_t* value) {
  PLHlperBase* h = OptionAccess::helper(camera);
  if (!h) return E_UNEXPECTED;
  *value = int32_t(h->bandwidth);
  return S_OK;
}

// --- Reload -----------------------------------------------------------------------------------

HRESULT putReloadOption(BaseImpl& camera, int32_t value) {
  ZX_TRACE("LUMORIX_OPTION_RELOAD: %d", value);
  CUsb* usb = OptionAccess::transport(camera);
  if (!usb || !usb->bCanReload()) return E_NOTIMPL;
  if (usb->triggerMode == 0) return E_UNEXPECTED;
  return usb->bReload(value);
}

HRESULT getReloadOption(BaseImpl& camera, int32_t*) {
  CUsb* usb = OptionAccess::transport(camera);
  return usb && usb->bCanReload() ? S_OK : E_NOTIMPL;
}
