// The internal interface: the grabber's error callback, the transport's error flag, device events
// handed to the model, and the model record.
#include "core/base_impl.h"
#include "usb/cusb.h"

namespace {
// The one code a host may raise or clear: the device lost its programming.
constexpr int32_t kErrorSensorLost = -4;
}  // namespace

HRESULT STDMETHODCALLTYPE BaseImpl::put_ErrorCallback(LumorixErrorCallback callback,
                                                      void* context) {
  setErrorCallback(callback, context);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE BaseImpl::SetErrorFlag(int32_t code) {
  if (code != kErrorSensorLost) return E_INVALIDARG;
  if (!transport_) return E_UNEXPECTED;
  transport_->errorFlag = 1;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE BaseImpl::ClearErrorFlag(int32_t code) {
  if (code != kErrorSensorLost) return E_INVALIDARG;
  if (!transport_) return E_UNEXPECTED;
  transport_->errorFlag = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE BaseImpl::HandleError(int32_t code) {
  if (transport_) transport_->OnDeviceEvent(code);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_ModelInfo(const ModelInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = model_;
  return S_OK;
}
