// IPropertyPage for a page made from one of the module's dialog templates.
#include "dshow/base/cbasepropertypage.h"

#include <objbase.h>

#include <cstring>

#include "dshow/base/moduleinstance.h"

namespace {

INT_PTR CALLBACK ProbeDialogProc(HWND, UINT, WPARAM, LPARAM) {
  return FALSE;
}

}  // namespace

CBasePropertyPage::CBasePropertyPage(const WCHAR* name, IUnknown* outer, int dialogId, int titleId)
    : CUnknown(name, outer), m_TitleId(titleId), m_DialogId(dialogId) {}

CBasePropertyPage::~CBasePropertyPage() {
  if (m_hwnd) DestroyWindow(m_hwnd);
  if (m_pPageSite) m_pPageSite->Release();
}

HRESULT STDMETHODCALLTYPE CBasePropertyPage::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IPropertyPage) return GetInterface(static_cast<IPropertyPage*>(this), ppv);
  return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT STDMETHODCALLTYPE CBasePropertyPage::SetPageSite(IPropertyPageSite* site) {
  if (site) {
    if (m_pPageSite) return E_UNEXPECTED;
    m_pPageSite = site;
    m_pPageSite->AddRef();
  } else {
    if (!m_pPageSite) return E_UNEXPECTED;
    m_pPageSite->Release();
    m_pPageSite = nullptr;
  }
  return S_OK;
}

bool CBasePropertyPage::GetDialogSize(SIZE* size) {
  HWND probe = CreateDialogParamW(g_hInst, MAKEINTRESOURCEW(m_DialogId), GetDesktopWindow(),
                                  ProbeDialogProc, 0);
  if (!probe) return false;
  RECT rect;
  GetWindowRect(probe, &rect);
  DestroyWindow(probe);
  size->cx = rect.right - rect.left;
  size->cy = rect.bottom - rect.top;
  return true;
}

HRESULT STDMETHODCALLTYPE CBasePropertyPage::GetPageInfo(PROPPAGEINFO* info) {
  if (!info) return E_POINTER;
  const WCHAR* text = nullptr;
  const int length =
      LoadStringW(g_hInst, static_cast<UINT>(m_TitleId), reinterpret_cast<LPWSTR>(&text), 0);
  const size_t chars = length > 0 ? static_cast<size_t>(length) : 0;
  auto* title = static_cast<LPOLESTR>(CoTaskMemAlloc((chars + 1) * sizeof(WCHAR)));
  if (!title) return E_OUTOFMEMORY;
  if (chars) std::memcpy(title, text, chars * sizeof(WCHAR));
  title[chars] = L'\0';

  SIZE size = {};
  if (!GetDialogSize(&size)) {
    CoTaskMemFree(title);
    return E_FAIL;
  }
  info->cb = sizeof(PROPPAGEINFO);
  info->pszTitle = title;
  info->size = size;
  info->pszDocString = nullptr;
  info->pszHelpFile = nullptr;
  info->dwHelpContext = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePropertyPage::Activate(HWND parent, LPCRECT rect, BOOL /*modal*/) {
  if (!rect) return E_POINTER;
  if (m_hwnd) return E_UNEXPECTED;
  m_hwnd = CreateDialogParamW(g_hInst, MAKEINTRESOURCEW(m_DialogId), parent, DialogProc,
                              reinterpret_cast<LPARAM>(this));
  if (!m_hwnd) return E_OUTOFMEMORY;
  const HRESULT hr = OnActivate();
  if (FAILED(hr)) {
    DestroyWindow(m_hwnd);
    m_hwnd = nullptr;
    m_Dlg = nullptr;
    return hr;
  }
  Move(rect);
  return Show(SW_SHOWNORMAL);
}

HRESULT STDMETHODCALLTYPE CBasePropertyPage::Deactivate() {
  if (!m_hwnd) return E_UNEXPECTED;
  const HRESULT hr = OnDeactivate();
  DestroyWindow(m_hwnd);
  m_hwnd = nullptr;
  m_Dlg = nullptr;
  return hr;
}

HRESULT STDMETHODCALLTYPE CBasePropertyPage::SetObjects(ULONG count, IUnknown** objects) {
  if (count == 1) {
    if (!objects || !objects[0]) return E_POINTER;
    m_bObjectSet = TRUE;
    return OnConnect(objects[0]);
  }
  if (count == 0) {
    m_bObjectSet = FALSE;
    return OnDisconnect();
  }
  return E_UNEXPECTED;
}

HRESULT STDMETHODCALLTYPE CBasePropertyPage::Show(UINT command) {
  if (!m_hwnd) return E_UNEXPECTED;
  if (command != SW_SHOW && command != SW_SHOWNORMAL && command != SW_HIDE) return E_INVALIDARG;
  ShowWindow(m_hwnd, static_cast<int>(command));
  InvalidateRect(m_hwnd, nullptr, TRUE);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePropertyPage::Move(LPCRECT rect) {
  if (!rect) return E_POINTER;
  if (!m_hwnd) return E_UNEXPECTED;
  MoveWindow(m_hwnd, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top,
             TRUE);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePropertyPage::IsPageDirty() {
  return m_bDirty ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE CBasePropertyPage::Apply() {
  if (!m_bObjectSet || !m_pPageSite) return E_UNEXPECTED;
  if (!m_bDirty) return S_OK;
  const HRESULT hr = OnApplyChanges();
  if (SUCCEEDED(hr)) m_bDirty = FALSE;
  return hr;
}

HRESULT STDMETHODCALLTYPE CBasePropertyPage::Help(LPCOLESTR /*helpDir*/) {
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CBasePropertyPage::TranslateAccelerator(MSG* /*msg*/) {
  return E_NOTIMPL;
}

INT_PTR CBasePropertyPage::OnReceiveMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  // The property frame clears WS_EX_CONTROLPARENT on the page, which breaks tabbing into it.
  if (message == WM_STYLECHANGING && wParam == static_cast<WPARAM>(GWL_EXSTYLE)) {
    reinterpret_cast<STYLESTRUCT*>(lParam)->styleNew |= WS_EX_CONTROLPARENT;
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

INT_PTR CALLBACK CBasePropertyPage::DialogProc(HWND hwnd, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    auto* page = reinterpret_cast<CBasePropertyPage*>(lParam);
    if (!page) return TRUE;
    page->m_Dlg = hwnd;
    return page->OnReceiveMessage(hwnd, message, wParam, lParam);
  }
  // Messages before WM_INITDIALOG (WM_SETFONT) find no page yet.
  auto* page = reinterpret_cast<CBasePropertyPage*>(GetWindowLongPtrW(hwnd, DWLP_USER));
  if (!page) return FALSE;
  return page->OnReceiveMessage(hwnd, message, wParam, lParam);
}
