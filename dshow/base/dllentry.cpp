// The COM server entry points over the module's factory-template table.
#include "dshow/base/dllentry.h"

#include <new>

#include "dshow/base/cclassfactory.h"
#include "dshow/base/cfactorytemplate.h"
#include "dshow/base/moduleinstance.h"

namespace {

void RunInitRoutines(BOOL loading) {
  for (int i = 0; i < g_cTemplates; ++i) {
    if (g_Templates[i].m_lpfnInit) g_Templates[i].m_lpfnInit(loading, g_Templates[i].m_ClsID);
  }
}

}  // namespace

BOOL WINAPI DllEntryPoint(HINSTANCE instance, ULONG reason, LPVOID /*reserved*/) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      g_hInst = instance;
      RunInitRoutines(TRUE);
      break;
    case DLL_PROCESS_DETACH:
      RunInitRoutines(FALSE);
      break;
    default:
      break;
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  for (int i = 0; i < g_cTemplates; ++i) {
    const CFactoryTemplate& templ = g_Templates[i];
    if (!templ.IsClassID(clsid) || !templ.m_lpfnNew) continue;
    if (riid != IID_IUnknown && riid != IID_IClassFactory) return E_NOINTERFACE;
    auto* factory = new (std::nothrow) CClassFactory(&templ);
    if (!factory) return E_OUTOFMEMORY;
    factory->NonDelegatingAddRef();
    const HRESULT hr = factory->NonDelegatingQueryInterface(riid, ppv);
    factory->NonDelegatingRelease();
    return hr;
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow() {
  // Class factories are objects too: a client holding one keeps the module loaded.
  return (CUnknown::ObjectsActive() == 0 && CClassFactory::ServerLocks() == 0) ? S_OK : S_FALSE;
}
