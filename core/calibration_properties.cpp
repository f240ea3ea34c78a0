// Flat-field and dark-field status on the camera interface: the calibration options' bodies.
#include "core/base_impl.h"
#include "core/lumorix_options.h"

HRESULT STDMETHODCALLTYPE BaseImpl::get_FfcStatus(int32_t* status) {
  if (status == nullptr) return E_POINTER;
  return get_Option(LUMORIX_OPTION_FFC, status);
}

HRESULT STDMETHODCALLTYPE BaseImpl::put_FfcStatus(int32_t status) {
  return put_Option(LUMORIX_OPTION_FFC, status);
}

HRESULT STDMETHODCALLTYPE BaseImpl::get_DfcStatus(int32_t* status) {
  if (status == nullptr) return E_POINTER;
  return get_Option(LUMORIX_OPTION_DFC, status);
}

HRESULT STDMETHODCALLTYPE BaseImpl::put_DfcStatus(int32_t status) {
  return put_Option(LUMORIX_OPTION_DFC, status);
}
