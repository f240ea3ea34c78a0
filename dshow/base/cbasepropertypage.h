// IPropertyPage for a page made from one of the module's dialog templates.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include "dshow/base/cunknown.h"

class CBasePropertyPage : public IPropertyPage, public CUnknown {
 public:
  // dialogId and titleId name the dialog template and the title string in the module.
  CBasePropertyPage(const WCHAR* name, IUnknown* outer, int dialogId, int titleId);
  ~CBasePropertyPage() override;

  DECLARE_IUNKNOWN
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  HRESULT STDMETHODCALLTYPE SetPageSite(IPropertyPageSite* site) override;
  HRESULT STDMETHODCALLTYPE Activate(HWND parent, LPCRECT rect, BOOL modal) override;
  HRESULT STDMETHODCALLTYPE Deactivate() override;
  HRESULT STDMETHODCALLTYPE GetPageInfo(PROPPAGEINFO* info) override;
  HRESULT STDMETHODCALLTYPE SetObjects(ULONG count, IUnknown** objects) override;
  HRESULT STDMETHODCALLTYPE Show(UINT command) override;
  HRESULT STDMETHODCALLTYPE Move(LPCRECT rect) override;
  HRESULT STDMETHODCALLTYPE IsPageDirty() override;
  HRESULT STDMETHODCALLTYPE Apply() override;
  HRESULT STDMETHODCALLTYPE Help(LPCOLESTR helpDir) override;
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* msg) override;

  virtual HRESULT OnConnect(IUnknown* /*object*/) { return S_OK; }
  virtual HRESULT OnDisconnect() { return S_OK; }
  virtual HRESULT OnActivate() { return S_OK; }
  virtual HRESULT OnDeactivate() { return S_OK; }
  virtual HRESULT OnApplyChanges() { return S_OK; }
  virtual INT_PTR OnReceiveMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

 protected:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  // The template's size in pixels, measured on a hidden instance of the dialog.
  bool GetDialogSize(SIZE* size);

  IPropertyPageSite* m_pPageSite = nullptr;  // owned reference
  HWND m_hwnd = nullptr;                     // the page window, from Activate to Deactivate
  HWND m_Dlg = nullptr;                      // the dialog window, known from WM_INITDIALOG on
  BOOL m_bDirty = FALSE;
  int m_TitleId;
  int m_DialogId;
  BOOL m_bObjectSet = FALSE;
};
