// What the preview and still pins share: RGB24 formats from the camera's resolutions, stream
// configuration, pin category, buffer sizing, and the camera start and stop.
#pragma once

#include <windows.h>
#include <dshow.h>

#include <atomic>
#include <cstdint>

#include "dshow/base/ccritsec.h"
#include "dshow/base/csourcestream.h"
#include "core/lumorix.h"
#include "dshow/filter/standard_properties.h"
#include "pages/page_choice.h"

class CDcm;

class CDcmPinBase : public CSourceStream,
                    public IAMStreamConfig,
                    public IKsPropertySet,
                    public ISpecifyPropertyPages,
                    public LumorixForwarder<CDcmPinBase, ILumorix>,
                    public LumorixForwarder<CDcmPinBase, ILumorixStillImage>,
                    public LumorixForwarder<CDcmPinBase, ILumorixSerialNumber>,
                    public LumorixForwarder<CDcmPinBase, ILumorixInternal>,
                    public LumorixForwarder<CDcmPinBase, ILumorixVersion>,
                    public LumorixForwarder<CDcmPinBase, ILumorixST4>,
                    public LumorixForwarder<CDcmPinBase, ILumorixIndex>,
                    public IAMVideoProcAmpImpl<CDcmPinBase>,
                    public IVideoProcAmpImpl<CDcmPinBase>,
                    public ICameraControlImpl<CDcmPinBase>,
                    public IAMCameraControlImpl<CDcmPinBase> {
 public:
  CDcmPinBase(const WCHAR* objectName, HRESULT* phr, CDcm* filter, const WCHAR* pinName);
  ~CDcmPinBase() override;

  DECLARE_IUNKNOWN
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  // Negotiation.
  HRESULT GetMediaType(int position, CMediaType* mt) override;
  HRESULT CheckMediaType(const CMediaType* mt) override;
  HRESULT SetMediaType(const CMediaType* mt) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  HRESULT STDMETHODCALLTYPE Notify(IBaseFilter* sender, Quality q) override { return E_FAIL; }

  // IAMStreamConfig
  HRESULT STDMETHODCALLTYPE SetFormat(AM_MEDIA_TYPE* mt) override;
  HRESULT STDMETHODCALLTYPE GetFormat(AM_MEDIA_TYPE** mt) override;
  HRESULT STDMETHODCALLTYPE GetNumberOfCapabilities(int* count, int* size) override;
  HRESULT STDMETHODCALLTYPE GetStreamCaps(int index, AM_MEDIA_TYPE** mt, BYTE* caps) override;
  // IKsPropertySet: the pin category, read only.
  HRESULT STDMETHODCALLTYPE Set(REFGUID set, DWORD id, LPVOID instance, DWORD instanceLength,
                                LPVOID data, DWORD dataLength) override;
  HRESULT STDMETHODCALLTYPE Get(REFGUID set, DWORD id, LPVOID instance, DWORD instanceLength,
                                LPVOID data, DWORD dataLength, DWORD* returned) override;
  HRESULT STDMETHODCALLTYPE QuerySupported(REFGUID set, DWORD id, DWORD* support) override;
  // ISpecifyPropertyPages: one image-size page.
  HRESULT STDMETHODCALLTYPE GetPages(CAUUID* pages) override;

  // The camera interface family goes to the owning filter, which answers as for itself.
  template <class I>
  I* ForwardTarget() {
    return filterInterface<I>();
  }
  template <class I>
  uint32_t NoTargetResult(uint32_t) {
    return static_cast<uint32_t>(E_UNEXPECTED);
  }

  // For the filter's changes that rebuild the pipeline: holds a running worker (true) until
  // releaseWorker. A caller on the worker itself would wait for its own reply. Meanwhile a run
  // from a host (the graph's pause and run) keeps it paused and is carried out by the release.
  bool holdWorker();
  void releaseWorker();
  HRESULT Inactive() override;
  bool onWorkerThread() const { return workerThread_ == GetCurrentThreadId(); }

 protected:
  // The pin's resolution list (the still list is the head of the preview list) and its entry.
  virtual uint32_t listCount() = 0;
  virtual HRESULT listSize(uint32_t index, LONG* width, LONG* height) = 0;
  virtual HRESULT currentIndex(uint32_t* index) = 0;
  virtual HRESULT selectIndex(uint32_t index) = 0;
  // The frame size the camera delivers now.
  virtual HRESULT currentSize(LONG* width, LONG* height) = 0;
  virtual bool liveSize() const = 0;
  virtual std::atomic<bool>& formatFixed() = 0;
  virtual const GUID& category() const = 0;
  virtual long defaultBufferCount() const = 0;
  virtual bool isStill() const = 0;

  HRESULT OnThreadCreate() override;
  HRESULT OnThreadDestroy() override;
  bool RunWithheld() override;
  // A pull that found no frame (a command ended the wait) only skips the sample.
  bool FalseFillEndsStream() const override { return false; }

  CDcm* filter() const;
  template <class I>
  I* filterInterface();
  ILumorix* camera() const;
  // A resolution of the camera, or of the pin's list, as the camera delivers it: width and height
  // swapped while the picture is turned by 90 or 270 degrees, so that the sizes announced,
  // accepted and connected are one set.
  HRESULT turnedResolution(uint32_t index, LONG* width, LONG* height);
  HRESULT turnedListSize(uint32_t index, LONG* width, LONG* height);
  void turnLikeThePicture(LONG* width, LONG* height);
  // The RGB24 type of resolution index, under the filter's state lock.
  HRESULT buildType(uint32_t index, bool live, CMediaType* mt);
  // The first index of the pin's list whose size is width x height; live takes the current
  // entry at its delivered size.
  HRESULT findListIndex(LONG width, LONG height, bool live, uint32_t* index);

 private:
  // Ends one hold; the last one sets the worker running if it owes a run.
  void endHold();

  std::atomic<DWORD> workerThread_{0};
  CCritSec holdLock_;         // the four below; never held across a worker call
  uint32_t holds_ = 0;        // changes holding the worker now
  bool resumeOwed_ = false;   // the held worker was running: the last release sets it running
  bool runWithheld_ = false;  // a run taken while held: the release carries it out
  bool paused_ = false;       // one of the holds' pauses was answered
};
