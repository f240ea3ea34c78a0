// COM identity and reference counting shared by every object of the module, aggregation included.
#include "dshow/base/cunknown.h"

namespace {
std::atomic<LONG> g_objectsActive{0};
}

CUnknown::CUnknown(const WCHAR* /*name*/, IUnknown* outer, HRESULT* /*phr*/)
    // Not aggregated: the non-delegating face has IUnknown's layout and serves as the owner.
    : m_pUnknown(outer ? outer
                       : reinterpret_cast<IUnknown*>(static_cast<INonDelegatingUnknown*>(this))) {
  ++g_objectsActive;
}

CUnknown::~CUnknown() {
  --g_objectsActive;
}

LONG CUnknown::ObjectsActive() {
  return g_objectsActive.load();
}

HRESULT STDMETHODCALLTYPE CUnknown::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IUnknown) {
    return GetInterface(reinterpret_cast<IUnknown*>(static_cast<INonDelegatingUnknown*>(this)),
                        ppv);
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CUnknown::NonDelegatingAddRef() {
  return static_cast<ULONG>(++m_cRef);
}

ULONG STDMETHODCALLTYPE CUnknown::NonDelegatingRelease() {
  const LONG left = --m_cRef;
  if (left == 0) {
    // A release made by the destructor (an aggregated inner object) must not delete twice.
    m_cRef = 1;
    delete this;
    return 0;
  }
  return static_cast<ULONG>(left);
}

HRESULT GetInterface(IUnknown* unknown, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = unknown;
  unknown->AddRef();
  return S_OK;
}
