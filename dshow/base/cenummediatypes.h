// IEnumMediaTypes over the types a pin offers through GetMediaType(position).
#pragma once

#include <windows.h>
#include <strmif.h>

#include <atomic>

class CBasePin;

class CEnumMediaTypes : public IEnumMediaTypes {
 public:
  // Starts where other stands (a clone) or at the first type.
  CEnumMediaTypes(CBasePin* pin, const CEnumMediaTypes* other);
  virtual ~CEnumMediaTypes();
  CEnumMediaTypes(const CEnumMediaTypes&) = delete;
  CEnumMediaTypes& operator=(const CEnumMediaTypes&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override;
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override;
  HRESULT STDMETHODCALLTYPE Reset() override;
  HRESULT STDMETHODCALLTYPE Clone(IEnumMediaTypes** clone) override;

 private:
  std::atomic<LONG> m_cRef{1};
  CBasePin* m_pPin;  // owned reference
  int m_Position = 0;
};
