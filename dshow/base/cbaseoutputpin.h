// An output pin that delivers samples to an IMemInputPin from an allocator it negotiates.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "dshow/base/cbasepin.h"

class CBaseOutputPin : public CBasePin {
 public:
  CBaseOutputPin(const WCHAR* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* phr,
                 const WCHAR* pinName);
  ~CBaseOutputPin() override;

  HRESULT CheckConnect(IPin* pin) override;
  HRESULT BreakConnect() override;
  HRESULT CompleteConnect(IPin* receivePin) override;

  // The downstream pin's allocator when it offers one, else a CLSID_MemoryAllocator of ours.
  // An offered allocator that cannot be sized fails the connection rather than being replaced.
  virtual HRESULT DecideAllocator(IMemInputPin* pin, IMemAllocator** allocator);
  virtual HRESULT InitAllocator(IMemAllocator** allocator);
  // Sets the allocator's properties from the downstream requirements in request.
  virtual HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) = 0;

  virtual HRESULT GetDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start,
                                    REFERENCE_TIME* stop, DWORD flags);
  virtual HRESULT Deliver(IMediaSample* sample);
  virtual HRESULT DeliverEndOfStream();

  HRESULT Active() override;    // commits the allocator
  HRESULT Inactive() override;  // decommits it, which also wakes a waiting GetDeliveryBuffer

  // Input-side calls: an output pin refuses them.
  HRESULT STDMETHODCALLTYPE EndOfStream() override;
  HRESULT STDMETHODCALLTYPE BeginFlush() override;
  HRESULT STDMETHODCALLTYPE EndFlush() override;

 protected:
  IMemAllocator* m_pAllocator = nullptr;  // owned reference
  IMemInputPin* m_pInputPin = nullptr;    // owned reference
};
