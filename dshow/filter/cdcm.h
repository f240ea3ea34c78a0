// The capture source filter: one opened camera, its "Preview" and "~Still" pins, and the start
// and stop of the camera for the pins' streaming threads.
#pragma once

#include <windows.h>
#include <dshow.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <type_traits>

#include "dshow/base/camevent.h"
#include "dshow/base/ccritsec.h"
#include "core/camera_device_record.h"
#include "dshow/base/csource.h"
#include "dshow/filter/filter_camera.h"
#include "dshow/filter/forwarding_rules.h"
#include "dshow/filter/standard_properties.h"

// {EA6387A5-60C7-41D3-B058-8D90580A7BE1}
inline constexpr CLSID CLSID_Zerithal = {
    0xEA6387A5, 0x60C7, 0x41D3, {0xB0, 0x58, 0x8D, 0x90, 0x58, 0x0A, 0x7B, 0xE1}};
inline constexpr const WCHAR* kFilterName = L"Zerithal";
inline constexpr UINT_PTR kCameraIndexLimit = 16;

class CPushPinDcm;
class CStillPinDcm;

class CDcm : public CSource,
             public LumorixForwarder<CDcm, ILumorix>,
             public LumorixForwarder<CDcm, ILumorixInternal>,
             public LumorixForwarder<CDcm, ILumorixStillImage>,
             public LumorixForwarder<CDcm, ILumorixSerialNumber>,
             public LumorixForwarder<CDcm, ILumorixVersion>,
             public ISpecifyPropertyPages,
             public IAMFilterMiscFlags,
             public IAMVideoControl,
             public IAMVideoProcAmpImpl<CDcm>,
             public IVideoProcAmpImpl<CDcm>,
             public LumorixForwarder<CDcm, ILumorixPreset>,
             public ICameraControlImpl<CDcm>,
             public LumorixForwarder<CDcm, ILumorixST4>,
             public IAMCameraControlImpl<CDcm>,
             public ILumorixIndex,
             public LumorixForwarder<CDcm, ILumorixInternalInternal> {
 public:
  // The factory-template create function. Opens camera 0; a "FireCapture.exe" host gets camera
  // 0's shared filter, whose reference for the class factory is already taken under the lock.
  static CUnknown* WINAPI CreateInstance(IUnknown* outer, HRESULT* phr);
  // For programs that are no COM host: a filter for the camera with one reference for the
  // caller (its non-delegating IUnknown), or null. A sharing host gets that camera's shared
  // filter; a camera that does not exist gives null whatever else is open.
  static IUnknown* OpenForCaller(uint32_t index);

  // Below 16 the argument is a camera index; otherwise it is the aggregating object and
  // camera 0 is opened. No camera gives E_UNEXPECTED and no pins.
  CDcm(UINT_PTR argument, HRESULT* phr);
  ~CDcm() override;

  DECLARE_IUNKNOWN
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE NonDelegatingAddRef() override;
  ULONG STDMETHODCALLTYPE NonDelegatingRelease() override;

  // A live source cannot cue while paused.
  HRESULT STDMETHODCALLTYPE GetState(DWORD timeoutMs, FILTER_STATE* state) override;
  // ISpecifyPropertyPages
  HRESULT STDMETHODCALLTYPE GetPages(CAUUID* pages) override;
  // IAMFilterMiscFlags
  ULONG STDMETHODCALLTYPE GetMiscFlags() override { return AM_FILTER_MISC_FLAGS_IS_SOURCE; }

  // IAMVideoControl: the trigger flag on the still pin asks it for one still.
  HRESULT STDMETHODCALLTYPE GetCaps(IPin* pin, LONG* flags) override;
  HRESULT STDMETHODCALLTYPE SetMode(IPin* pin, LONG mode) override;
  HRESULT STDMETHODCALLTYPE GetMode(IPin* pin, LONG* mode) override;
  HRESULT STDMETHODCALLTYPE GetCurrentActualFrameRate(IPin* pin, LONGLONG* rate) override;
  HRESULT STDMETHODCALLTYPE GetMaxAvailableFrameRate(IPin* pin, LONG index, SIZE size,
                                                     LONGLONG* rate) override;
  HRESULT STDMETHODCALLTYPE GetFrameRateList(IPin* pin, LONG index, SIZE size, LONG* count,
                                             LONGLONG** rates) override;
  // Signals the snapshot event when pin is the still pin.
  virtual HRESULT TriggerStill(IPin* pin);

  // The camera interface family: each call goes to the camera, or answers the no-camera result.
  template <class I>
  I* ForwardTarget() {
    if constexpr (std::is_same_v<I, ILumorix>)
      return lumorix();
    else
      return CameraCompanion<I>(lumorix());
  }
  template <class I>
  uint32_t NoTargetResult(uint32_t ordinal) {
    return forwarding::noCameraResult<I>(ordinal);
  }
  template <class I, class... A>
  HRESULT ForwardRefusal(uint32_t ordinal, A... args) {
    if constexpr (std::is_same_v<I, ILumorix>)
      return forwarding::checkLeadingPointers(forwarding::requiredPointers(ordinal), args...);
    else
      return S_OK;
  }
  // The calls the filter answers itself.
  HRESULT STDMETHODCALLTYPE put_VignetteAmountInt(int32_t amount) override;
  HRESULT STDMETHODCALLTYPE get_VignetteAmountInt(int32_t* amount) override;
  HRESULT STDMETHODCALLTYPE put_VignetteMidPointInt(int32_t midPoint) override;
  HRESULT STDMETHODCALLTYPE get_VignetteMidPointInt(int32_t* midPoint) override;
  HRESULT STDMETHODCALLTYPE put_BitDepth(int32_t high) override;
  HRESULT STDMETHODCALLTYPE put_Option(uint32_t code, int32_t value) override;
  HRESULT STDMETHODCALLTYPE put_eSize(uint32_t index) override;
  HRESULT STDMETHODCALLTYPE put_Size(int32_t width, int32_t height) override;
  HRESULT STDMETHODCALLTYPE put_Roi(uint32_t x, uint32_t y, uint32_t width,
                                    uint32_t height) override;
  HRESULT STDMETHODCALLTYPE put_StillSize(int32_t width, int32_t height) override;
  HRESULT STDMETHODCALLTYPE put_eStillSize(uint32_t index) override;
  HRESULT STDMETHODCALLTYPE LoadPreset(uint32_t index) override;
  HRESULT STDMETHODCALLTYPE get_Name(char* name) override;
  HRESULT STDMETHODCALLTYPE get_Index(uint32_t* index) override;
  HRESULT STDMETHODCALLTYPE Reserved() override { return E_NOTIMPL; }

  // For the pins.
  FilterCamera* camera() const { return camera_.get(); }
  ILumorix* lumorix() const { return camera_ ? camera_->lumorix() : nullptr; }
  uint32_t cameraIndex() const { return index_; }
  bool hasStills() const { return still_ != nullptr; }
  // Whether the camera turns its pictures by 90 or 270 degrees, so width and height swap.
  bool pictureTurned() const;
  CPushPinDcm* previewPin() const { return preview_; }
  CStillPinDcm* stillPin() const { return still_; }
  // Auto-reset: one signal releases one still; signals while none is awaited collapse into one.
  HANDLE snapshotEvent() const { return snapshot_; }
  // The first pin thread starts the camera, the last one stops it.
  HRESULT startForPinThread();
  void stopForPinThread();
  // The times of the preview sample that ends now; contiguous from 0 at camera start.
  void nextSampleTimes(REFERENCE_TIME* start, REFERENCE_TIME* stop);
  std::atomic<bool> previewFormatFixed{false};
  std::atomic<bool> stillFormatFixed{false};

 private:
  bool openCamera();
  // Holds the pins' workers around a change that rebuilds the pipeline; false on a worker.
  bool pausePins(bool held[2]);
  void resumePins(const bool held[2]);
  // Whether a connected pin's size would change by turning the picture to degrees.
  bool turnFixedAgainst(int32_t degrees) const;
  // Whether the connected preview's size would change by taking preview index `index`, or by
  // binning with `value`; false for what the camera refuses itself.
  bool previewIndexFixedAgainst(uint32_t index) const;
  bool binningFixedAgainst(int32_t value) const;
  // Whether loading preset `index` would change a connected pin's size.
  bool presetFixedAgainst(ILumorixPreset* presets, uint32_t index) const;
  // Whether the still pin's connected size would change by taking width x height.
  bool stillSizeFixedAgainst(int32_t width, int32_t height);
  void createPins(HRESULT* phr);
  IUnknown* nonDelegatingUnknown() {
    return reinterpret_cast<IUnknown*>(static_cast<INonDelegatingUnknown*>(this));
  }

  CPushPinDcm* preview_ = nullptr;
  CStillPinDcm* still_ = nullptr;
  uint32_t index_ = 0;
  std::unique_ptr<FilterCamera> camera_;
  CAMEvent snapshot_;
  // The thread count and the camera start and stop it drives: held through a start that raises
  // the host's callbacks, so it is in the wait table, as every CCritSec.
  CCritSec filterLock_;
  uint32_t threadCount_ = 0;
  // The device this filter's camera was opened on, and whether this filter streams from it.
  WCHAR16 deviceId_[kCameraIdChars] = {};
  bool claimed_ = false;
  REFERENCE_TIME streamTime_ = 0;  // written by the preview worker, reset at camera start
  uint32_t lastTick_ = 0;          // the tick the stream time has reached (ahead by a ms or so)
  char displayName_[1024] = {};
  // Set first in the destructor, never cleared: an entry point reached on a dying filter answers
  // an error and touches no count, so that handing one out shows even where no checker runs.
  std::atomic<bool> destroyed_{false};
};
