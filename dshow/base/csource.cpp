// A source filter: owns its output streams and a state lock that the streams share.
#include "dshow/base/csource.h"

#include <algorithm>
#include <new>

#include "dshow/base/cautolock.h"
#include "dshow/base/csourcestream.h"

// The state lock is handed to the base before it is constructed; it is only stored there.
CSource::CSource(const WCHAR* objectName, IUnknown* outer, REFCLSID clsid, HRESULT* phr)
    : CBaseFilter(objectName, outer, &m_cStateLock, clsid, phr) {}

CSource::~CSource() {
  while (!m_paStreams.empty()) delete m_paStreams.back();
}

int CSource::GetPinCount() {
  CAutoLock lock(&m_cStateLock);
  return static_cast<int>(m_paStreams.size());
}

CBasePin* CSource::GetPin(int n) {
  CAutoLock lock(&m_cStateLock);
  if (n < 0 || n >= static_cast<int>(m_paStreams.size())) return nullptr;
  return m_paStreams[n];
}

HRESULT CSource::AddPin(CSourceStream* stream) {
  if (!stream) return E_POINTER;
  CAutoLock lock(&m_cStateLock);
  try {
    m_paStreams.push_back(stream);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

HRESULT CSource::RemovePin(CSourceStream* stream) {
  CAutoLock lock(&m_cStateLock);
  auto it = std::find(m_paStreams.begin(), m_paStreams.end(), stream);
  if (it == m_paStreams.end()) return S_FALSE;
  m_paStreams.erase(it);
  return S_OK;
}
