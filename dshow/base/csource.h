// A source filter: owns its output streams and a state lock that the streams share.
#pragma once

#include <windows.h>

#include <vector>

#include "dshow/base/cbasefilter.h"
#include "dshow/base/ccritsec.h"

class CSourceStream;

class CSource : public CBaseFilter {
 public:
  CSource(const WCHAR* objectName, IUnknown* outer, REFCLSID clsid, HRESULT* phr = nullptr);
  ~CSource() override;  // deletes the streams still registered

  int GetPinCount() override;
  CBasePin* GetPin(int n) override;

  // Called by a stream's constructor and destructor.
  HRESULT AddPin(CSourceStream* stream);
  HRESULT RemovePin(CSourceStream* stream);

  CCritSec* pStateLock() { return &m_cStateLock; }

 protected:
  CCritSec m_cStateLock;  // held across waits for the pins' workers: in the wait table
  std::vector<CSourceStream*> m_paStreams;
};
