// A downstream filter with one input pin whose behaviour the connection tests choose.
#include "tests/dshow/support/testsink.h"

#include <atomic>
#include <new>

#include "dshow/base/cmediatype.h"

namespace {

// {9A41C0E7-3B5D-4F0A-8C21-6E7D3B1F2A54}
constexpr CLSID kSinkClsid = {
    0x9A41C0E7, 0x3B5D, 0x4F0A, {0x8C, 0x21, 0x6E, 0x7D, 0x3B, 0x1F, 0x2A, 0x54}};

// A memory allocator that grants less than it is asked for.
class StingyAllocator : public IMemAllocator {
 public:
  StingyAllocator(IMemAllocator* inner, TestSinkPin::Allocator mode) : inner_(inner), mode_(mode) {}
  virtual ~StingyAllocator() { inner_->Release(); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IMemAllocator) {
      *ppv = static_cast<IMemAllocator*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++ref_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --ref_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE SetProperties(ALLOCATOR_PROPERTIES* request,
                                          ALLOCATOR_PROPERTIES* actual) override {
    if (!request) return E_POINTER;
    ALLOCATOR_PROPERTIES granted = *request;
    if (mode_ == TestSinkPin::Allocator::SmallerBuffers) granted.cbBuffer = request->cbBuffer / 2;
    if (mode_ == TestSinkPin::Allocator::FewerBuffers && granted.cBuffers > 1)
      granted.cBuffers = request->cBuffers - 1;
    if (mode_ == TestSinkPin::Allocator::NoBuffers) granted.cBuffers = 0;
    return inner_->SetProperties(&granted, actual);
  }
  HRESULT STDMETHODCALLTYPE GetProperties(ALLOCATOR_PROPERTIES* props) override {
    return inner_->GetProperties(props);
  }
  HRESULT STDMETHODCALLTYPE Commit() override { return inner_->Commit(); }
  HRESULT STDMETHODCALLTYPE Decommit() override { return inner_->Decommit(); }
  HRESULT STDMETHODCALLTYPE GetBuffer(IMediaSample** sample, REFERENCE_TIME* start,
                                      REFERENCE_TIME* stop, DWORD flags) override {
    return inner_->GetBuffer(sample, start, stop, flags);
  }
  HRESULT STDMETHODCALLTYPE ReleaseBuffer(IMediaSample* sample) override {
    return inner_->ReleaseBuffer(sample);
  }

 private:
  std::atomic<ULONG> ref_{1};
  IMemAllocator* inner_;
  TestSinkPin::Allocator mode_;
};

}  // namespace

TestSinkPin::TestSinkPin(CBaseFilter* filter, CCritSec* lock, HRESULT* phr)
    : CBasePin(L"TestSinkPin", filter, lock, phr, L"In", PINDIR_INPUT),
      releaseReceive(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      receiving(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      blocked(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

TestSinkPin::~TestSinkPin() {
  BreakConnect();
  CloseHandle(releaseReceive);
  CloseHandle(receiving);
  CloseHandle(blocked);
}

HRESULT STDMETHODCALLTYPE TestSinkPin::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IMemInputPin) return GetInterface(static_cast<IMemInputPin*>(this), ppv);
  return CBasePin::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT TestSinkPin::CheckMediaType(const CMediaType* mt) {
  if (!IsEqualGUID(*mt->Type(), MEDIATYPE_Video)) return S_FALSE;
  return IsEqualGUID(*mt->Subtype(), refusedSubtype) ? S_FALSE : S_OK;
}

HRESULT TestSinkPin::BreakConnect() {
  releaseHeld();
  if (notified_) {
    notified_->Release();
    notified_ = nullptr;
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TestSinkPin::EndOfStream() {
  ++endOfStreams;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TestSinkPin::GetAllocator(IMemAllocator** allocator) {
  if (!allocator) return E_POINTER;
  *allocator = nullptr;
  if (allocatorMode == Allocator::None) return VFW_E_NO_ALLOCATOR;
  IMemAllocator* inner = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IMemAllocator, reinterpret_cast<void**>(&inner));
  if (FAILED(hr)) return hr;
  if (allocatorMode == Allocator::Own) {
    *allocator = inner;
    return S_OK;
  }
  *allocator = new (std::nothrow) StingyAllocator(inner, allocatorMode);
  if (!*allocator) {
    inner->Release();
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TestSinkPin::NotifyAllocator(IMemAllocator* allocator, BOOL) {
  if (!allocator) return E_POINTER;
  allocator->AddRef();
  if (notified_) notified_->Release();
  notified_ = allocator;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TestSinkPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) {
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE TestSinkPin::Receive(IMediaSample* sample) {
  if (!sample) return E_POINTER;
  if (onReceive) onReceive();
  ++samples;
  lastLength = sample->GetActualDataLength();
  REFERENCE_TIME start = 0;
  REFERENCE_TIME stop = 0;
  if (SUCCEEDED(sample->GetTime(&start, &stop))) {
    std::lock_guard<std::mutex> guard(timesLock);
    startTimes.push_back(start);
    stopTimes.push_back(stop);
  }
  if (holdSamples) {
    std::lock_guard<std::mutex> guard(heldLock_);
    sample->AddRef();
    held_.push_back(sample);
  }
  SetEvent(receiving);
  // A stuck renderer: held until released, never longer than the test's patience.
  if (blockReceive) {
    SetEvent(blocked);
    WaitForSingleObject(releaseReceive, 10000);
  }
  return failReceives.exchange(0) ? E_FAIL : S_OK;
}

void TestSinkPin::releaseHeld() {
  holdSamples = false;
  std::lock_guard<std::mutex> guard(heldLock_);
  for (IMediaSample* sample : held_) sample->Release();
  held_.clear();
}

HRESULT STDMETHODCALLTYPE TestSinkPin::ReceiveMultiple(IMediaSample** samplesIn, long count,
                                                       long* processed) {
  long done = 0;
  while (done < count && Receive(samplesIn[done]) == S_OK) ++done;
  if (processed) *processed = done;
  return S_OK;
}

TestSinkFilter::TestSinkFilter(HRESULT* phr)
    : CBaseFilter(L"TestSinkFilter", nullptr, &lock_, kSinkClsid, phr),
      pin_(new (std::nothrow) TestSinkPin(this, &lock_, phr)) {
  if (!pin_ && phr) *phr = E_OUTOFMEMORY;
}

TestSinkFilter::~TestSinkFilter() {
  delete pin_;
}
