// The base of every page: the site's locale, the translated title, the camera interfaces and the
// lifecycle all pages share.
#include "pages/framework/cmuipropertypage.h"

#include <objbase.h>

#include <cstring>
#include <cwchar>

#include "pages/mui_resources.h"
#include "pages/translate_window.h"

namespace {

// The page's interface, queried from object: E_NOINTERFACE on failure, E_FAIL for a null answer.
template <typename T>
HRESULT QueryPageInterface(IUnknown* object, REFIID iid, ComPtr<T>* out) {
  const HRESULT hr = object->QueryInterface(iid, out->outVoid());
  if (FAILED(hr)) {
    out->reset();
    return E_NOINTERFACE;
  }
  return *out ? S_OK : E_FAIL;
}

// A task-memory copy of text; null when memory runs out.
LPOLESTR CopyTitle(const wchar_t* text) {
  const size_t bytes = (std::wcslen(text) + 1) * sizeof(wchar_t);
  auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
  if (copy) std::memcpy(copy, text, bytes);
  return copy;
}

}  // namespace

CMuiPropertyPage::CMuiPropertyPage(const WCHAR* name, IUnknown* outer, int dialogId, int titleId,
                                   PageCamera camera, PageApply apply)
    : CBasePropertyPage(name, outer, dialogId, titleId), m_camera(camera), m_apply(apply) {}

HRESULT STDMETHODCALLTYPE CMuiPropertyPage::SetPageSite(IPropertyPageSite* site) {
  const HRESULT hr = CBasePropertyPage::SetPageSite(site);
  if (m_pPageSite) {
    LCID lcid = 0;
    if (SUCCEEDED(m_pPageSite->GetLocaleID(&lcid))) m_lcid = lcid;
  }
  return hr;
}

HRESULT STDMETHODCALLTYPE CMuiPropertyPage::GetPageInfo(PROPPAGEINFO* info) {
  const HRESULT hr = CBasePropertyPage::GetPageInfo(info);
  if (FAILED(hr)) return hr;
  LoadLanguage(langId());
  if (ProcessMuiLanguage().translationLoaded() && info->pszTitle) {
    const wchar_t* translated = TranslateString(langId(), info->pszTitle);
    if (translated != info->pszTitle) {
      // Out of memory keeps the English title.
      if (LPOLESTR copy = CopyTitle(translated)) {
        CoTaskMemFree(info->pszTitle);
        info->pszTitle = copy;
      }
    }
  }
  return hr;
}

HRESULT STDMETHODCALLTYPE CMuiPropertyPage::Apply() {
  if (m_apply == PageApply::WhenDirty) return CBasePropertyPage::Apply();
  if (!m_pPageSite) return E_UNEXPECTED;
  return OnApplyChanges();
}

HRESULT CMuiPropertyPage::OnConnect(IUnknown* object) {
  if (!object) return E_POINTER;
  HRESULT hr = S_OK;
  if (m_camera == PageCamera::Preset) {
    hr = QueryPageInterface(object, IID_ILumorixPreset, &m_preset);
  } else {
    hr = QueryPageInterface(object, IID_ILumorix, &m_lumorix);
    if (SUCCEEDED(hr) && m_camera == PageCamera::LumorixAndStill)
      hr = QueryPageInterface(object, IID_ILumorixStillImage, &m_still);
  }
  m_active = 0;
  return hr;
}

HRESULT CMuiPropertyPage::OnDisconnect() {
  m_lumorix.reset();
  m_still.reset();
  m_preset.reset();
  return S_OK;
}

void CMuiPropertyPage::TranslatePage() {
  LoadLanguage(langId());
  if (m_Dlg && ProcessMuiLanguage().translationLoaded())
    EnumChildWindows(m_Dlg, TranslateWindowCallback, 0);
}

HRESULT CMuiPropertyPage::OnActivate() {
  TranslatePage();
  m_active = 1;
  return S_OK;
}

HRESULT CMuiPropertyPage::OnDeactivate() {
  m_active = 0;
  return S_OK;
}

HRESULT CMuiPropertyPage::OnApplyChanges() {
  const bool connected = m_camera == PageCamera::Preset ? bool(m_preset) : bool(m_lumorix);
  return connected ? S_OK : E_POINTER;
}

void CMuiPropertyPage::MarkDirty() {
  if (m_bDirty) return;
  m_bDirty = TRUE;
  if (m_pPageSite) m_pPageSite->OnStatusChange(PROPPAGESTATUS_DIRTY);
}
