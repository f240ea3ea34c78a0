// COM identity and reference counting shared by every object of the module, aggregation included.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <atomic>

// The inner face of an aggregatable object: the outer object reaches it, everyone else the owner.
struct INonDelegatingUnknown {
  virtual HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) = 0;
  virtual ULONG STDMETHODCALLTYPE NonDelegatingAddRef() = 0;
  virtual ULONG STDMETHODCALLTYPE NonDelegatingRelease() = 0;

 protected:
  ~INonDelegatingUnknown() = default;
};

class CUnknown : public INonDelegatingUnknown {
 public:
  // name is a diagnostic label only; outer is the aggregating object or null.
  CUnknown(const WCHAR* name, IUnknown* outer, HRESULT* phr = nullptr);
  virtual ~CUnknown();
  CUnknown(const CUnknown&) = delete;
  CUnknown& operator=(const CUnknown&) = delete;

  // The IUnknown every interface of this object delegates to.
  IUnknown* GetOwner() const { return m_pUnknown; }

  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE NonDelegatingAddRef() override;
  ULONG STDMETHODCALLTYPE NonDelegatingRelease() override;

  // Objects of the module alive right now; DllCanUnloadNow answers from it.
  static LONG ObjectsActive();

 protected:
  std::atomic<LONG> m_cRef{0};

 private:
  IUnknown* const m_pUnknown;
};

// Hands out an interface pointer with one reference added.
HRESULT GetInterface(IUnknown* unknown, void** ppv);

// The IUnknown methods of an object's interfaces, all answered by its owner.
#define DECLARE_IUNKNOWN                                                       \
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override { \
    return GetOwner()->QueryInterface(riid, ppv);                              \
  }                                                                            \
  ULONG STDMETHODCALLTYPE AddRef() override {                                  \
    return GetOwner()->AddRef();                                               \
  }                                                                            \
  ULONG STDMETHODCALLTYPE Release() override {                                 \
    return GetOwner()->Release();                                              \
  }
