// IEnumPins over a filter's pins, read live from the filter.
#pragma once

#include <windows.h>
#include <strmif.h>

#include <atomic>

class CBaseFilter;

class CEnumPins : public IEnumPins {
 public:
  // Starts where other stands (a clone) or at the first pin.
  CEnumPins(CBaseFilter* filter, const CEnumPins* other);
  virtual ~CEnumPins();
  CEnumPins(const CEnumPins&) = delete;
  CEnumPins& operator=(const CEnumPins&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE Next(ULONG count, IPin** pins, ULONG* fetched) override;
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override;
  HRESULT STDMETHODCALLTYPE Reset() override;
  HRESULT STDMETHODCALLTYPE Clone(IEnumPins** clone) override;

 private:
  std::atomic<LONG> m_cRef{1};
  CBaseFilter* m_pFilter;  // owned reference
  int m_Position = 0;
};
