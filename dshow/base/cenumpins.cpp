// IEnumPins over a filter's pins, read live from the filter.
#include "dshow/base/cenumpins.h"

#include <new>

#include "dshow/base/cbasefilter.h"
#include "dshow/base/cbasepin.h"

CEnumPins::CEnumPins(CBaseFilter* filter, const CEnumPins* other)
    : m_pFilter(filter), m_Position(other ? other->m_Position : 0) {
  m_pFilter->AddRef();
}

CEnumPins::~CEnumPins() {
  m_pFilter->Release();
}

HRESULT STDMETHODCALLTYPE CEnumPins::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IEnumPins) {
    *ppv = static_cast<IEnumPins*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CEnumPins::AddRef() {
  return static_cast<ULONG>(++m_cRef);
}

ULONG STDMETHODCALLTYPE CEnumPins::Release() {
  const LONG left = --m_cRef;
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

HRESULT STDMETHODCALLTYPE CEnumPins::Next(ULONG count, IPin** pins, ULONG* fetched) {
  if (!pins) return E_POINTER;
  if (!fetched && count > 1) return E_INVALIDARG;
  ULONG got = 0;
  while (got < count) {
    CBasePin* pin = m_pFilter->GetPin(m_Position);
    if (!pin) break;
    pins[got] = pin;
    pin->AddRef();
    ++got;
    ++m_Position;
  }
  if (fetched) *fetched = got;
  return got == count ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE CEnumPins::Skip(ULONG count) {
  const int pins = m_pFilter->GetPinCount();
  if (static_cast<long long>(m_Position) + count > pins) {
    m_Position = pins;
    return S_FALSE;
  }
  m_Position += static_cast<int>(count);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CEnumPins::Reset() {
  m_Position = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CEnumPins::Clone(IEnumPins** clone) {
  if (!clone) return E_POINTER;
  *clone = new (std::nothrow) CEnumPins(m_pFilter, this);
  return *clone ? S_OK : E_OUTOFMEMORY;
}
