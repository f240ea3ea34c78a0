// A downstream filter with one input pin whose behaviour the connection tests choose.
#pragma once

#include <windows.h>
#include <dshow.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <vector>

#include "dshow/base/cbasefilter.h"
#include "dshow/base/cbasepin.h"

class TestSinkPin : public CBasePin, public IMemInputPin {
 public:
  enum class Allocator { Own, SmallerBuffers, FewerBuffers, NoBuffers, None };

  TestSinkPin(CBaseFilter* filter, CCritSec* lock, HRESULT* phr);
  ~TestSinkPin() override;

  DECLARE_IUNKNOWN
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  HRESULT CheckMediaType(const CMediaType* mt) override;
  HRESULT BreakConnect() override;
  HRESULT STDMETHODCALLTYPE BeginFlush() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE EndFlush() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE EndOfStream() override;

  // IMemInputPin
  HRESULT STDMETHODCALLTYPE GetAllocator(IMemAllocator** allocator) override;
  HRESULT STDMETHODCALLTYPE NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
  HRESULT STDMETHODCALLTYPE GetAllocatorRequirements(ALLOCATOR_PROPERTIES* props) override;
  HRESULT STDMETHODCALLTYPE Receive(IMediaSample* sample) override;
  HRESULT STDMETHODCALLTYPE ReceiveMultiple(IMediaSample** samples, long count,
                                            long* processed) override;
  HRESULT STDMETHODCALLTYPE ReceiveCanBlock() override { return S_OK; }

  // Choices.
  GUID refusedSubtype = GUID_NULL;
  Allocator allocatorMode = Allocator::Own;
  std::atomic<bool> blockReceive{false};
  HANDLE releaseReceive;                  // manual-reset; ends a blocked Receive
  HANDLE receiving;                       // auto-reset; set whenever Receive starts
  HANDLE blocked;                         // auto-reset; set as a Receive begins to block
  std::atomic<bool> holdSamples{false};   // Receive keeps every sample, as a queueing renderer
  std::atomic<bool> failReceives{false};  // the next Receive fails, once
  // Runs inside Receive, on the upstream pin's worker thread; set before running.
  std::function<void()> onReceive;
  // Stops holding and gives back the samples held.
  void releaseHeld();

  // Observations.
  std::atomic<int> samples{0};
  std::atomic<int> endOfStreams{0};
  std::atomic<long> lastLength{0};
  std::vector<REFERENCE_TIME> startTimes;
  std::vector<REFERENCE_TIME> stopTimes;
  std::mutex timesLock;

 private:
  IMemAllocator* notified_ = nullptr;
  std::mutex heldLock_;
  std::vector<IMediaSample*> held_;
};

class TestSinkFilter : public CBaseFilter {
 public:
  explicit TestSinkFilter(HRESULT* phr);
  ~TestSinkFilter() override;

  int GetPinCount() override { return 1; }
  CBasePin* GetPin(int n) override { return n == 0 ? pin_ : nullptr; }
  TestSinkPin* Pin() const { return pin_; }

 private:
  CCritSec lock_;
  TestSinkPin* pin_;
};
