// Flat-field and dark-field calibration on the camera interface: the options' bodies, the
// one-push runs and the calibration files.
#include "core/base_impl.h"

#include "base/trace.h"
#include "core/lumorix_options.h"
#include "core/state_access.h"
#include "pipeline/pl_setters.h"
#include "pipeline/store/calibration_file.h"
#include "platform/utf16.h"

namespace {

// The export or import for the active state at the camera's output size, held for the whole
// file call as a restart may replace it meanwhile; file is called with either state. An import's
// report is raised once the hold is let go.
template <typename File>
HRESULT withFile(PLHlperBase* h, const WCHAR16* path, const File& file) {
  if (h == nullptr) return E_UNEXPECTED;
  if (path == nullptr) return E_POINTER;
  HRESULT hr = E_UNEXPECTED;
  PLHostNotice due;
  state_access::withContext(h, [&](auto& c) {
    uint32_t w = 0, ht = 0;
    h->PLHlperGetOutputSize(&w, &ht);
    hr = file(&c, path, w, ht, &due);
  });
  due.raise();
  return hr;
}

// The four calibration file transfers; only imports are traced, with the file they read.
enum class FieldFile { DfcExport, DfcImport, FfcExport, FfcImport };

template <typename Context>
HRESULT transfer(FieldFile kind, Context* c, const WCHAR16* path, uint32_t w, uint32_t h,
                 PLHostNotice* due) {
  switch (kind) {
    case FieldFile::DfcExport:
      return PL_DfcExport(c, path, w, h);
    case FieldFile::DfcImport:
      return PL_DfcImport(c, path, w, h, due);
    case FieldFile::FfcExport:
      return PL_FfcExport(c, path, w, h);
    case FieldFile::FfcImport:
      return PL_FfcImport(c, path, w, h, due);
  }
  return E_UNEXPECTED;
}

HRESULT fieldFile(PLHlperBase* h, FieldFile kind, const WCHAR16* path) {
  if (kind == FieldFile::DfcImport || kind == FieldFile::FfcImport)
    ZX_TRACE("%s: %s", kind == FieldFile::DfcImport ? "DfcImport" : "FfcImport",
             path ? platform::WideToUtf8(path).c_str() : "");
  return withFile(h, path,
                  [kind](auto* c, const WCHAR16* p, uint32_t w, uint32_t ht, PLHostNotice* due) {
                    return transfer(kind, c, p, w, ht, due);
                  });
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
  return fieldFile(helper_, FieldFile::DfcExport, path);
}

HRESULT STDMETHODCALLTYPE BaseImpl::DfcImport(const WCHAR16* path) {
  return fieldFile(helper_, FieldFile::DfcImport, path);
}

HRESULT STDMETHODCALLTYPE BaseImpl::FfcExport(const WCHAR16* path) {
  return fieldFile(helper_, FieldFile::FfcExport, path);
}

HRESULT STDMETHODCALLTYPE BaseImpl::FfcImport(const WCHAR16* path) {
  return fieldFile(helper_, FieldFile::FfcImport, path);
}
