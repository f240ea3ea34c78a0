// The class factory DllGetClassObject hands out for one factory template.
#include "dshow/base/cclassfactory.h"

#include <atomic>

namespace {
std::atomic<LONG> g_serverLocks{0};
}

CClassFactory::CClassFactory(const CFactoryTemplate* templ)
    : CUnknown(L"CClassFactory", nullptr), m_pTemplate(templ) {}

LONG CClassFactory::ServerLocks() {
  return g_serverLocks.load();
}

HRESULT STDMETHODCALLTYPE CClassFactory::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IClassFactory) return GetInterface(static_cast<IClassFactory*>(this), ppv);
  return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT STDMETHODCALLTYPE CClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  // An aggregated object may only be asked for its inner IUnknown.
  if (outer && riid != IID_IUnknown) return CLASS_E_NOAGGREGATION;

  HRESULT hr = S_OK;
  CUnknown* object = m_pTemplate->CreateInstance(outer, &hr);
  if (!object) return FAILED(hr) ? hr : E_OUTOFMEMORY;
  if (FAILED(hr)) {
    delete object;
    return hr;
  }
  object->NonDelegatingAddRef();
  hr = object->NonDelegatingQueryInterface(riid, ppv);
  object->NonDelegatingRelease();
  return hr;
}

HRESULT STDMETHODCALLTYPE CClassFactory::LockServer(BOOL lock) {
  if (lock) {
    ++g_serverLocks;
  } else if (g_serverLocks.load() > 0) {
    --g_serverLocks;
  }
  return S_OK;
}
