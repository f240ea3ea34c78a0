// IEnumMediaTypes over the types a pin offers through GetMediaType(position).
#include "dshow/base/cenummediatypes.h"

#include <new>

#include "dshow/base/cbasepin.h"
#include "dshow/base/cmediatype.h"
#include "dshow/base/mediatypes.h"

CEnumMediaTypes::CEnumMediaTypes(CBasePin* pin, const CEnumMediaTypes* other)
    : m_pPin(pin), m_Position(other ? other->m_Position : 0) {
  m_pPin->AddRef();
}

CEnumMediaTypes::~CEnumMediaTypes() {
  m_pPin->Release();
}

HRESULT STDMETHODCALLTYPE CEnumMediaTypes::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IEnumMediaTypes) {
    *ppv = static_cast<IEnumMediaTypes*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CEnumMediaTypes::AddRef() {
  return static_cast<ULONG>(++m_cRef);
}

ULONG STDMETHODCALLTYPE CEnumMediaTypes::Release() {
  const LONG left = --m_cRef;
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

HRESULT STDMETHODCALLTYPE CEnumMediaTypes::Next(ULONG count, AM_MEDIA_TYPE** types,
                                                ULONG* fetched) {
  if (!types) return E_POINTER;
  if (!fetched && count > 1) return E_INVALIDARG;
  ULONG got = 0;
  HRESULT result = S_OK;
  while (got < count) {
    CMediaType mt;
    if (m_pPin->GetMediaType(m_Position, &mt) != S_OK) break;
    types[got] = CreateMediaType(&mt);
    if (!types[got]) {
      result = E_OUTOFMEMORY;
      break;
    }
    ++got;
    ++m_Position;
  }
  if (FAILED(result)) {
    // Nothing half-done is handed out.
    while (got > 0) {
      DeleteMediaType(types[--got]);
      --m_Position;
    }
  }
  if (fetched) *fetched = got;
  if (FAILED(result)) return result;
  return got == count ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE CEnumMediaTypes::Skip(ULONG count) {
  while (count > 0) {
    CMediaType mt;
    if (m_pPin->GetMediaType(m_Position, &mt) != S_OK) return S_FALSE;
    ++m_Position;
    --count;
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CEnumMediaTypes::Reset() {
  m_Position = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CEnumMediaTypes::Clone(IEnumMediaTypes** clone) {
  if (!clone) return E_POINTER;
  *clone = new (std::nothrow) CEnumMediaTypes(m_pPin, this);
  return *clone ? S_OK : E_OUTOFMEMORY;
}
