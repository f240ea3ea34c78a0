// The class factory DllGetClassObject hands out for one factory template.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include "dshow/base/cfactorytemplate.h"
#include "dshow/base/cunknown.h"

class CClassFactory : public IClassFactory, public CUnknown {
 public:
  explicit CClassFactory(const CFactoryTemplate* templ);

  DECLARE_IUNKNOWN
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

  // Locks taken by clients through LockServer and not yet given back.
  static LONG ServerLocks();

 private:
  const CFactoryTemplate* m_pTemplate;
};
