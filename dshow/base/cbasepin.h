// IPin and IQualityControl: connection with media-type negotiation, shared by input and output
// pins.
#pragma once

#include <windows.h>
#include <strmif.h>
#include <vfwmsgs.h>

#include "dshow/base/ccritsec.h"
#include "dshow/base/cmediatype.h"
#include "dshow/base/cunknown.h"

class CBaseFilter;

class CBasePin : public CUnknown, public IPin, public IQualityControl {
 public:
  // The pin lives as long as its filter and counts its references on it; lock is the filter's.
  CBasePin(const WCHAR* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* phr,
           const WCHAR* pinName, PIN_DIRECTION direction);
  ~CBasePin() override;

  DECLARE_IUNKNOWN
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE NonDelegatingAddRef() override;
  ULONG STDMETHODCALLTYPE NonDelegatingRelease() override;

  // IPin
  HRESULT STDMETHODCALLTYPE Connect(IPin* receivePin, const AM_MEDIA_TYPE* mt) override;
  HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* mt) override;
  HRESULT STDMETHODCALLTYPE Disconnect() override;
  HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** pin) override;
  HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE* mt) override;
  HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO* info) override;
  HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* direction) override;
  HRESULT STDMETHODCALLTYPE QueryId(LPWSTR* id) override;
  HRESULT STDMETHODCALLTYPE QueryAccept(const AM_MEDIA_TYPE* mt) override;
  HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes** types) override;
  HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin** pins, ULONG* count) override;
  HRESULT STDMETHODCALLTYPE EndOfStream() override;
  HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop,
                                       double rate) override;
  // BeginFlush and EndFlush stay for the derived pin.

  // IQualityControl
  HRESULT STDMETHODCALLTYPE Notify(IBaseFilter* sender, Quality q) override;
  HRESULT STDMETHODCALLTYPE SetSink(IQualityControl* sink) override;

  // Type negotiation.
  virtual HRESULT CheckMediaType(const CMediaType* mt) = 0;
  virtual HRESULT SetMediaType(const CMediaType* mt);
  // The type at a position of the pin's preference list; VFW_S_NO_MORE_ITEMS past its end.
  virtual HRESULT GetMediaType(int position, CMediaType* mt);
  virtual HRESULT CheckConnect(IPin* pin);
  virtual HRESULT BreakConnect();
  virtual HRESULT CompleteConnect(IPin* receivePin);

  // State changes of the filter, for connected pins.
  virtual HRESULT Active();    // stopped -> paused
  virtual HRESULT Inactive();  // -> stopped
  virtual HRESULT Run(REFERENCE_TIME start);

  BOOL IsConnected() const { return m_Connected != nullptr; }
  IPin* GetConnected() const { return m_Connected; }
  BOOL IsStopped() const;
  const WCHAR* Name() const { return m_pName ? m_pName : L""; }
  const CMediaType& CurrentMediaType() const { return m_mt; }

 protected:
  HRESULT AgreeMediaType(IPin* receivePin, const CMediaType* mt);
  HRESULT TryMediaTypes(IPin* receivePin, const CMediaType* partial, IEnumMediaTypes* types,
                        HRESULT* lateFailure);
  // accepted tells whether both pins took the type and the failure came after.
  HRESULT AttemptConnection(IPin* receivePin, const CMediaType* mt, bool* accepted);
  HRESULT DisconnectInternal();

  WCHAR* m_pName = nullptr;     // owned copy
  IPin* m_Connected = nullptr;  // owned reference
  PIN_DIRECTION m_dir;
  CCritSec* m_pLock;
  CBaseFilter* m_pFilter;
  IQualityControl* m_pQSink = nullptr;  // not owned, as the quality sink is upstream
  CMediaType m_mt;
  REFERENCE_TIME m_tStart = 0;
  REFERENCE_TIME m_tStop = 0;
  double m_dRate = 1.0;
};
