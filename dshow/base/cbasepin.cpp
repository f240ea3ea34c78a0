// IPin and IQualityControl: connection with media-type negotiation, shared by input and output
// pins.
#include "dshow/base/cbasepin.h"

#include <objbase.h>

#include <cstring>
#include <cwchar>
#include <new>

#include "dshow/base/cautolock.h"
#include "dshow/base/cbasefilter.h"
#include "dshow/base/cenummediatypes.h"
#include "dshow/base/mediatypes.h"

namespace {

const CMediaType* AsMediaType(const AM_MEDIA_TYPE* mt) {
  return reinterpret_cast<const CMediaType*>(mt);
}

}  // namespace

CBasePin::CBasePin(const WCHAR* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* phr,
                   const WCHAR* pinName, PIN_DIRECTION direction)
    : CUnknown(objectName, nullptr), m_dir(direction), m_pLock(lock), m_pFilter(filter) {
  if (pinName) {
    m_pName = new (std::nothrow) WCHAR[wcslen(pinName) + 1];
    if (m_pName) {
      wcscpy(m_pName, pinName);
    } else if (phr) {
      *phr = E_OUTOFMEMORY;
    }
  }
}

CBasePin::~CBasePin() {
  if (m_Connected) m_Connected->Release();
  delete[] m_pName;
}

HRESULT STDMETHODCALLTYPE CBasePin::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IPin) return GetInterface(static_cast<IPin*>(this), ppv);
  if (riid == IID_IQualityControl) return GetInterface(static_cast<IQualityControl*>(this), ppv);
  return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

ULONG STDMETHODCALLTYPE CBasePin::NonDelegatingAddRef() {
  return m_pFilter->AddRef();
}

ULONG STDMETHODCALLTYPE CBasePin::NonDelegatingRelease() {
  return m_pFilter->Release();
}

BOOL CBasePin::IsStopped() const {
  return m_pFilter->IsStopped();
}

HRESULT STDMETHODCALLTYPE CBasePin::Connect(IPin* receivePin, const AM_MEDIA_TYPE* mt) {
  if (!receivePin) return E_POINTER;
  CAutoLock lock(m_pLock);
  if (m_Connected) return VFW_E_ALREADY_CONNECTED;
  if (!IsStopped()) return VFW_E_NOT_STOPPED;
  // A peer that can never fit (same direction, no transport) fails before any type is tried.
  const HRESULT hr = CheckConnect(receivePin);
  BreakConnect();
  if (FAILED(hr)) return hr;
  return AgreeMediaType(receivePin, mt ? AsMediaType(mt) : nullptr);
}

HRESULT CBasePin::AgreeMediaType(IPin* receivePin, const CMediaType* mt) {
  if (mt && !mt->IsPartiallySpecified()) {
    bool accepted = false;
    return AttemptConnection(receivePin, mt, &accepted);
  }
  // The peer's preferences first, then ours. A failure after both pins took a type (buffers,
  // allocator) says more than "no type" and is what the caller gets.
  HRESULT lateFailure = S_OK;
  for (IPin* source : {receivePin, static_cast<IPin*>(this)}) {
    IEnumMediaTypes* types = nullptr;
    if (FAILED(source->EnumMediaTypes(&types)) || !types) continue;
    const HRESULT hr = TryMediaTypes(receivePin, mt, types, &lateFailure);
    types->Release();
    if (SUCCEEDED(hr)) return hr;
  }
  return FAILED(lateFailure) ? lateFailure : VFW_E_NO_ACCEPTABLE_TYPES;
}

HRESULT CBasePin::TryMediaTypes(IPin* receivePin, const CMediaType* partial, IEnumMediaTypes* types,
                                HRESULT* lateFailure) {
  types->Reset();
  for (;;) {
    AM_MEDIA_TYPE* candidate = nullptr;
    ULONG fetched = 0;
    if (types->Next(1, &candidate, &fetched) != S_OK || fetched != 1 || !candidate) break;
    HRESULT hr = VFW_E_TYPE_NOT_ACCEPTED;
    bool accepted = false;
    if (!partial || AsMediaType(candidate)->MatchesPartial(partial)) {
      hr = AttemptConnection(receivePin, AsMediaType(candidate), &accepted);
    }
    DeleteMediaType(candidate);
    if (SUCCEEDED(hr)) return hr;
    if (accepted) *lateFailure = hr;
  }
  return VFW_E_NO_ACCEPTABLE_TYPES;
}

HRESULT CBasePin::AttemptConnection(IPin* receivePin, const CMediaType* mt, bool* accepted) {
  *accepted = false;
  HRESULT hr = CheckConnect(receivePin);
  if (FAILED(hr)) {
    BreakConnect();
    return hr;
  }
  hr = CheckMediaType(mt);
  if (hr != S_OK) {
    BreakConnect();
    return FAILED(hr) ? hr : VFW_E_TYPE_NOT_ACCEPTED;
  }
  m_Connected = receivePin;
  m_Connected->AddRef();
  hr = SetMediaType(mt);
  if (SUCCEEDED(hr)) {
    hr = receivePin->ReceiveConnection(this, mt);
    if (SUCCEEDED(hr)) {
      *accepted = true;
      hr = CompleteConnect(receivePin);
      if (SUCCEEDED(hr)) return S_OK;
      receivePin->Disconnect();
    }
  }
  m_Connected->Release();
  m_Connected = nullptr;
  m_mt.InitMediaType();
  BreakConnect();
  return hr;
}

HRESULT STDMETHODCALLTYPE CBasePin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* mt) {
  if (!connector || !mt) return E_POINTER;
  CAutoLock lock(m_pLock);
  if (m_Connected) return VFW_E_ALREADY_CONNECTED;
  if (!IsStopped()) return VFW_E_NOT_STOPPED;
  HRESULT hr = CheckConnect(connector);
  if (FAILED(hr)) {
    BreakConnect();
    return hr;
  }
  hr = CheckMediaType(AsMediaType(mt));
  if (hr != S_OK) {
    BreakConnect();
    return FAILED(hr) ? hr : VFW_E_TYPE_NOT_ACCEPTED;
  }
  m_Connected = connector;
  m_Connected->AddRef();
  hr = SetMediaType(AsMediaType(mt));
  if (SUCCEEDED(hr)) hr = CompleteConnect(connector);
  if (SUCCEEDED(hr)) return S_OK;
  m_Connected->Release();
  m_Connected = nullptr;
  m_mt.InitMediaType();
  BreakConnect();
  return hr;
}

HRESULT STDMETHODCALLTYPE CBasePin::Disconnect() {
  CAutoLock lock(m_pLock);
  if (!IsStopped()) return VFW_E_NOT_STOPPED;
  return DisconnectInternal();
}

HRESULT CBasePin::DisconnectInternal() {
  if (!m_Connected) return S_FALSE;
  const HRESULT hr = BreakConnect();
  if (FAILED(hr)) return hr;
  m_Connected->Release();
  m_Connected = nullptr;
  m_mt.InitMediaType();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePin::ConnectedTo(IPin** pin) {
  if (!pin) return E_POINTER;
  CAutoLock lock(m_pLock);
  *pin = m_Connected;
  if (!m_Connected) return VFW_E_NOT_CONNECTED;
  m_Connected->AddRef();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePin::ConnectionMediaType(AM_MEDIA_TYPE* mt) {
  if (!mt) return E_POINTER;
  CAutoLock lock(m_pLock);
  if (!m_Connected) {
    std::memset(mt, 0, sizeof(*mt));
    return VFW_E_NOT_CONNECTED;
  }
  return CopyMediaType(mt, &m_mt);
}

HRESULT STDMETHODCALLTYPE CBasePin::QueryPinInfo(PIN_INFO* info) {
  if (!info) return E_POINTER;
  info->pFilter = m_pFilter;
  if (m_pFilter) m_pFilter->AddRef();
  info->achName[0] = L'\0';
  if (m_pName) wcsncpy(info->achName, m_pName, MAX_PIN_NAME - 1);
  info->achName[MAX_PIN_NAME - 1] = L'\0';
  info->dir = m_dir;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePin::QueryDirection(PIN_DIRECTION* direction) {
  if (!direction) return E_POINTER;
  *direction = m_dir;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePin::QueryId(LPWSTR* id) {
  if (!id) return E_POINTER;
  const size_t bytes = (wcslen(Name()) + 1) * sizeof(WCHAR);
  *id = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
  if (!*id) return E_OUTOFMEMORY;
  std::memcpy(*id, Name(), bytes);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePin::QueryAccept(const AM_MEDIA_TYPE* mt) {
  if (!mt) return E_POINTER;
  return CheckMediaType(AsMediaType(mt)) == S_OK ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE CBasePin::EnumMediaTypes(IEnumMediaTypes** types) {
  if (!types) return E_POINTER;
  *types = new (std::nothrow) CEnumMediaTypes(this, nullptr);
  return *types ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE CBasePin::QueryInternalConnections(IPin** /*pins*/, ULONG* /*count*/) {
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CBasePin::EndOfStream() {
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop,
                                               double rate) {
  m_tStart = start;
  m_tStop = stop;
  m_dRate = rate;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePin::Notify(IBaseFilter* /*sender*/, Quality /*q*/) {
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CBasePin::SetSink(IQualityControl* sink) {
  CAutoLock lock(m_pLock);
  m_pQSink = sink;
  return S_OK;
}

HRESULT CBasePin::SetMediaType(const CMediaType* mt) {
  return m_mt.Set(*mt);
}

HRESULT CBasePin::GetMediaType(int /*position*/, CMediaType* /*mt*/) {
  return VFW_S_NO_MORE_ITEMS;
}

HRESULT CBasePin::CheckConnect(IPin* pin) {
  PIN_DIRECTION other;
  const HRESULT hr = pin->QueryDirection(&other);
  if (FAILED(hr)) return hr;
  return other == m_dir ? VFW_E_INVALID_DIRECTION : S_OK;
}

HRESULT CBasePin::BreakConnect() {
  return S_OK;
}
HRESULT CBasePin::CompleteConnect(IPin* /*receivePin*/) {
  return S_OK;
}
HRESULT CBasePin::Active() {
  return S_OK;
}
HRESULT CBasePin::Inactive() {
  return S_OK;
}
HRESULT CBasePin::Run(REFERENCE_TIME /*start*/) {
  return S_OK;
}
