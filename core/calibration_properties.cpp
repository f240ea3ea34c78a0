// Flat-field and dark-field calibration on the camera interface: the options' bodies, the
// one-push runs and the calibration files.
#include "core/base_impl.h"

#include "base/trace.h"
#include "core/lumorix_options.h"
#include "pipeline/pl_setters.h"
#include "pipeline/store/calibration_file.h"
#include "platform/utf16.h"

namespace {

// The camera's current output size and the export or import for the active state.
template <typename Eight, typename High>
HRESULT withFile(PLHlperBase* h, const WCHAR16* path, Eight eight, High high) {
  if (h == nullptr) return E_UNEXPECTED;
  if (path == nullptr) return E_POINTER;
  uint32_t w = 0, ht = 0;
  h->PLHlperGetOutputSize(&w, &ht);
  if (h->ctx8) return eight(h->ctx8.get(), path, w, ht);
  if (h->ctx16) return high(h->ctx16.get(), path, w, ht);
  return E_UNEXPECTED;
}

}  // namespace

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

HRESULT STDMETHODCALLTYPE BaseImpl::FfcOnePush() {
  if (!started() || helper_ == nullptr) return E_UNEXPECTED;
  return PL_FfcOnePush(*helper_);
}

HRESULT STDMETHODCALLTYPE BaseImpl::DfcOnePush() {
  if (!started() || helper_ == nullptr) return E_UNEXPECTED;
  return PL_DfcOnePush(*helper_);
}

HRESULT STDMETHODCALLTYPE BaseImpl::DfcExport(const WCHAR16* path) {
  return withFile(helper_, path, &PL_DfcExport, &PL_DfcExport16);
}

HRESULT STDMETHODCALLTYPE BaseImpl::DfcImport(const WCHAR16* path) {
  ZX_TRACE("%s: %s", "DfcImport", path ? platform::WideToUtf8(path).c_str() : "");
  return withFile(helper_, path, &PL_DfcImport, &PL_DfcImport16);
}

HRESULT STDMETHODCALLTYPE BaseImpl::FfcExport(const WCHAR16* path) {
  return withFile(helper_, path, &PL_FfcExport<uint8_t>, &PL_FfcExport<uint16_t>);
}

HRESULT STDMETHODCALLTYPE BaseImpl::FfcImport(const WCHAR16* path) {
  ZX_TRACE("%s: %s", "FfcImport", path ? platform::WideToUtf8(path).c_str() : "");
  return withFile(helper_, path, &PL_FfcImport<uint8_t>, &PL_FfcImport<uint16_t>);
}
