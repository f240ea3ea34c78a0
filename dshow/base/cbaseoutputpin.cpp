// An output pin that delivers samples to an IMemInputPin from an allocator it negotiates.
#include "dshow/base/cbaseoutputpin.h"

#include <objbase.h>
#include <uuids.h>

#include "dshow/base/cautolock.h"

CBaseOutputPin::CBaseOutputPin(const WCHAR* objectName, CBaseFilter* filter, CCritSec* lock,
                               HRESULT* phr, const WCHAR* pinName)
    : CBasePin(objectName, filter, lock, phr, pinName, PINDIR_OUTPUT) {}

CBaseOutputPin::~CBaseOutputPin() {
  BreakConnect();
}

HRESULT CBaseOutputPin::CheckConnect(IPin* pin) {
  HRESULT hr = CBasePin::CheckConnect(pin);
  if (FAILED(hr)) return hr;
  if (m_pInputPin) {
    m_pInputPin->Release();
    m_pInputPin = nullptr;
  }
  hr = pin->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&m_pInputPin));
  if (FAILED(hr) || !m_pInputPin) {
    m_pInputPin = nullptr;
    return VFW_E_NO_TRANSPORT;
  }
  return S_OK;
}

HRESULT CBaseOutputPin::BreakConnect() {
  if (m_pAllocator) {
    m_pAllocator->Decommit();
    m_pAllocator->Release();
    m_pAllocator = nullptr;
  }
  if (m_pInputPin) {
    m_pInputPin->Release();
    m_pInputPin = nullptr;
  }
  return S_OK;
}

HRESULT CBaseOutputPin::CompleteConnect(IPin* /*receivePin*/) {
  return DecideAllocator(m_pInputPin, &m_pAllocator);
}

HRESULT CBaseOutputPin::DecideAllocator(IMemInputPin* pin, IMemAllocator** allocator) {
  if (!pin || !allocator) return E_POINTER;
  *allocator = nullptr;
  ALLOCATOR_PROPERTIES request = {};
  pin->GetAllocatorRequirements(&request);  // optional for the downstream pin
  if (request.cbAlign == 0) request.cbAlign = 1;

  IMemAllocator* offered = nullptr;
  const bool usePeers = SUCCEEDED(pin->GetAllocator(&offered)) && offered;
  if (!usePeers) {
    const HRESULT hr = InitAllocator(&offered);
    if (FAILED(hr)) return hr;
  }
  HRESULT hr = DecideBufferSize(offered, &request);
  if (SUCCEEDED(hr)) hr = pin->NotifyAllocator(offered, FALSE);
  if (FAILED(hr)) {
    offered->Release();
    return hr;
  }
  *allocator = offered;
  return S_OK;
}

HRESULT CBaseOutputPin::InitAllocator(IMemAllocator** allocator) {
  return CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                          reinterpret_cast<void**>(allocator));
}

HRESULT CBaseOutputPin::GetDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start,
                                          REFERENCE_TIME* stop, DWORD flags) {
  if (!sample) return E_POINTER;
  *sample = nullptr;
  if (!m_pAllocator) return VFW_E_NO_ALLOCATOR;
  return m_pAllocator->GetBuffer(sample, start, stop, flags);
}

HRESULT CBaseOutputPin::Deliver(IMediaSample* sample) {
  if (!sample) return E_POINTER;
  if (!m_pInputPin) return VFW_E_NOT_CONNECTED;
  return m_pInputPin->Receive(sample);
}

HRESULT CBaseOutputPin::DeliverEndOfStream() {
  IPin* peer = m_Connected;
  if (!peer) return VFW_E_NOT_CONNECTED;
  return peer->EndOfStream();
}

HRESULT CBaseOutputPin::Active() {
  if (!m_pAllocator) return VFW_E_NO_ALLOCATOR;
  return m_pAllocator->Commit();
}

HRESULT CBaseOutputPin::Inactive() {
  if (!m_pAllocator) return VFW_E_NO_ALLOCATOR;
  return m_pAllocator->Decommit();
}

HRESULT STDMETHODCALLTYPE CBaseOutputPin::EndOfStream() {
  return E_UNEXPECTED;
}
HRESULT STDMETHODCALLTYPE CBaseOutputPin::BeginFlush() {
  return E_UNEXPECTED;
}
HRESULT STDMETHODCALLTYPE CBaseOutputPin::EndFlush() {
  return E_UNEXPECTED;
}
