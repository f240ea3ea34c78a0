// IBaseFilter for a filter with a fixed set of pins: state, clock, graph and event sink.
#pragma once

#include <windows.h>
#include <strmif.h>
#include <vfwmsgs.h>

#include "dshow/base/ccritsec.h"
#include "dshow/base/cunknown.h"

class CBasePin;

class CBaseFilter : public CUnknown, public IBaseFilter {
 public:
  // lock guards the filter's state and is shared with its pins.
  CBaseFilter(const WCHAR* objectName, IUnknown* outer, CCritSec* lock, REFCLSID clsid,
              HRESULT* phr = nullptr);
  ~CBaseFilter() override;

  DECLARE_IUNKNOWN
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  // IPersist
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override;
  // IMediaFilter
  HRESULT STDMETHODCALLTYPE Stop() override;
  HRESULT STDMETHODCALLTYPE Pause() override;
  HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME start) override;
  HRESULT STDMETHODCALLTYPE GetState(DWORD timeoutMs, FILTER_STATE* state) override;
  HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock* clock) override;
  HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock** clock) override;
  // IBaseFilter
  HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins** pins) override;
  HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR id, IPin** pin) override;
  HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO* info) override;
  HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
  HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR* info) override;

  virtual int GetPinCount() = 0;
  virtual CBasePin* GetPin(int n) = 0;

  // Passes an event to the graph's event sink; E_NOTIMPL outside a graph.
  HRESULT NotifyEvent(long code, LONG_PTR param1, LONG_PTR param2);
  BOOL IsActive() const { return m_State != State_Stopped; }
  BOOL IsStopped() const { return m_State == State_Stopped; }
  FILTER_STATE State() const { return m_State; }

 protected:
  CCritSec* m_pLock;
  FILTER_STATE m_State = State_Stopped;
  IReferenceClock* m_pClock = nullptr;  // owned reference
  REFERENCE_TIME m_tStart = 0;
  CLSID m_clsid;
  // The graph owns the filter, so neither of these holds a reference.
  IFilterGraph* m_pGraph = nullptr;
  IMediaEventSink* m_pSink = nullptr;
  WCHAR* m_pName = nullptr;  // name in the graph, owned
};
