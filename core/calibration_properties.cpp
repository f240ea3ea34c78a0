// Flat-field and dark-field calibration on the camera interface: the options' bodies, the
// one-push runs and the calibration files.
#include "core/base_impl.h"

#include "base/trace.h"
#include "core/lumorix_options.h"
#include "pipeline/pl_setters.h"
#include "pipeline/store/calibration_file.h"
#include "platform/utf16.h"

namespace {

// The camera's current output size and the export or import for the active state; file is
// called with either state.
template <typename File>
HRESULT withFile(PLHlperBase* h, const WCHAR16* path, const File& file) {
  if (h == nullptr) return E_UNEXPECTED;
  if (path == nullptr) return E_POINTER;
  uint32_t w = 0, ht = 0;
  h->PLHlperGetOutputSize(&w, &ht);
  if (h->ctx8) return file(h->ctx8.get(), path, w, ht);
  if (h->ctx16) return file(h->ctx16.get(), path, w, ht);
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
  return withFile(helper_, path, [](auto* c, const WCHAR16* p, uint32_t w, uint32_t h) {
    return PL_DfcExport(c, p, w, h);
  });
}

HRESULT STDMETHODCALLTYPE BaseImpl::DfcImport(const WCHAR16* path) {
  ZX_TRACE("%s: %s", "DfcImport", path ? platform::WideToUtf8(path).c_str() : "");
  return withFile(helper_, path, [](auto* c, const WCHAR16* p, uint32_t w, uint32_t h) {
    return PL_DfcImport(c, p, w, h);
  });
}

HRESULT STDMETHODCALLTYPE BaseImpl::FfcExport(const WCHAR16* path) {
  return withFile(helper_, path, [](auto* c, const WCHAR16* p, uint32_t w, uint32_t h) {
    return PL_FfcExport(c, p, w, h);
  });
}

HRESULT STDMETHODCALLTYPE BaseImpl::FfcImport(const WCHAR16* path) {
  ZX_TRACE("%s: %s", "FfcImport", path ? platform::WideToUtf8(path).c_str() : "");
  return withFile(helper_, path, [](auto* c, const WCHAR16* p, uint32_t w, uint32_t h) {
    return PL_FfcImport(c, p, w, h);
  });
}
