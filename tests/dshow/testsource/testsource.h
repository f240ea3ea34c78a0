// A throw-away RGB24 source filter on the base layer, for the tests only (never in zerithal.ax).
#pragma once

#include <dshow.h>
#include <windows.h>

#include <atomic>
#include <cstdint>

#include "dshow/base/csource.h"
#include "dshow/base/csourcestream.h"

// {6C1F3B52-1E0A-4C6B-9D3E-2A7B40C8E911}
inline constexpr CLSID CLSID_ZxTestSource = {
    0x6C1F3B52, 0x1E0A, 0x4C6B, {0x9D, 0x3E, 0x2A, 0x7B, 0x40, 0xC8, 0xE9, 0x11}};
inline constexpr const WCHAR* kTestSourceName = L"Zerithal Test Source";
inline constexpr LONG kTestWidth = 320;
inline constexpr LONG kTestHeight = 240;
inline constexpr uint32_t kTestFps = 30;
inline constexpr REFERENCE_TIME kTestFrameTime = 10000000 / kTestFps;

class TestSourceStream : public CSourceStream, public IKsPropertySet, public IAMStreamConfig {
 public:
  enum class Fill { Frames, BlockUntilCommand, Fail };

  TestSourceStream(HRESULT* phr, CSource* filter, const WCHAR* name);

  DECLARE_IUNKNOWN
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  // Two sizes: 320x240 first, then 160x120.
  HRESULT GetMediaType(int position, CMediaType* mt) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;

  // IKsPropertySet: the pin category, so capture graph building can find the pin.
  HRESULT STDMETHODCALLTYPE Set(REFGUID set, DWORD id, LPVOID instance, DWORD instanceLength,
                                LPVOID data, DWORD dataLength) override;
  HRESULT STDMETHODCALLTYPE Get(REFGUID set, DWORD id, LPVOID instance, DWORD instanceLength,
                                LPVOID data, DWORD dataLength, DWORD* returned) override;
  HRESULT STDMETHODCALLTYPE QuerySupported(REFGUID set, DWORD id, DWORD* support) override;

  // IAMStreamConfig: the two sizes as capabilities; SetFormat, while unconnected, makes the
  // chosen one the only type the pin offers, as a camera's pin does.
  HRESULT STDMETHODCALLTYPE SetFormat(AM_MEDIA_TYPE* mt) override;
  HRESULT STDMETHODCALLTYPE GetFormat(AM_MEDIA_TYPE** mt) override;
  HRESULT STDMETHODCALLTYPE GetNumberOfCapabilities(int* count, int* size) override;
  HRESULT STDMETHODCALLTYPE GetStreamCaps(int index, AM_MEDIA_TYPE** mt, BYTE* caps) override;

  // What the tests switch and watch.
  std::atomic<Fill> fill{Fill::Frames};
  std::atomic<HRESULT> createResult{S_OK};
  std::atomic<DWORD> frameDelayMs{2};
  std::atomic<int> threadsCreated{0};
  std::atomic<int> threadsDestroyed{0};
  std::atomic<DWORD> workerThreadId{0};
  HANDLE fillEntered;  // set each time FillBuffer starts

  ~TestSourceStream() override;

 protected:
  HRESULT FillBuffer(IMediaSample* sample) override;
  HRESULT OnThreadCreate() override;
  HRESULT OnThreadDestroy() override;

 private:
  LONGLONG frame_ = 0;
  std::atomic<int> chosenType_{-1};  // the type SetFormat fixed, -1 for both
};

class TestSourceFilter : public CSource {
 public:
  static CUnknown* CreateInstance(IUnknown* outer, HRESULT* phr);
  TestSourceFilter(IUnknown* outer, HRESULT* phr, int streams = 1);

  TestSourceStream* Stream(int n) const { return streams_[n]; }

 private:
  TestSourceStream* streams_[2] = {};
};
