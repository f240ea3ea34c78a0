// The camera object's primary interface: ILumorix extended by the camera's own operations.
#pragma once

#include <cstdint>

#include "core/lumorix.h"
#include "base/host_callbacks.h"
#include "core/lumorix_frame.h"

namespace platform {
class Event;
}
struct StillResult;  // status, format and size of one still grab (the pipeline's)

// Every ILumorix method answers E_NOTIMPL until its body exists; the camera's own operations
// follow in a fixed order. Those a model supplies stay pure here and in the camera object.
class LumorixImplBase : public LumorixNotImplemented<ILumorix> {
 public:
  // Arguments 3 and 4 are the still-buffer and still-request callbacks; all zero is pull mode
  // for the preview pin.
  virtual HRESULT start(LumorixDataCallback dataA = nullptr, LumorixDataCallbackV2 dataB = nullptr,
                        LumorixStillBufferCallback stillBuffer = nullptr,
                        LumorixStillRequestCallback stillRequest = nullptr,
                        void* userContext = nullptr, LumorixEventCallback event = nullptr,
                        void* eventContext = nullptr, void* window = nullptr, uint32_t message = 0,
                        int32_t startPaused = 0) = 0;
  virtual HRESULT stop() = 0;
  virtual HRESULT close() = 0;
  virtual HRESULT Snap(uint32_t resolutionIndex, int32_t count, uint64_t context) = 0;
  virtual HRESULT trigger(uint16_t count) = 0;
  virtual HRESULT put_Pause(int32_t pause) = 0;
  virtual HRESULT PullImage(uint8_t* dst, uint32_t bits, uint32_t rowPitch,
                            LumorixFrameInfo* info) = 0;
  virtual HRESULT PullStillImage(uint8_t* dst, uint32_t bits, uint32_t rowPitch,
                                 LumorixFrameInfo* info) = 0;
  // The preview pin's pull: 24-bit rows into dst; S_FALSE when woken without a frame.
  virtual HRESULT PullFrameForPin(uint8_t* dst, uint32_t dstSize, platform::Event* extraEvent) = 0;
  // One still at the still index into dst; cancelEvent ends the grab.
  virtual HRESULT SnapForPin(uint8_t* dst, uint32_t size, platform::Event* cancelEvent) = 0;
  virtual HRESULT PopFrame(LumorixFrameEntry* entry) = 0;
  virtual HRESULT PopStillFrame(LumorixFrameEntry* entry) = 0;
  virtual HRESULT ReturnFrame(LumorixFrameEntry* entry) = 0;
  virtual HRESULT FreeFrame(LumorixFrameEntry* entry) = 0;
  virtual HRESULT OnOption3(int32_t value) = 0;
  virtual HRESULT OnOption3Get(int32_t* value) = 0;
  // The read-out window of the models that have one: on or off and its offset.
  virtual HRESULT put_ModelWindow(int32_t on, int32_t x, int32_t y) = 0;
  virtual HRESULT get_ModelWindow(uint32_t* on, uint32_t* x, uint32_t* y) = 0;
  // The FourCC and bits per pixel of the raw frames the stream delivers now.
  virtual HRESULT get_RawFormat(uint32_t* fourcc, uint32_t* bits) = 0;
  virtual void GetColorMatrix(double matrix[9]) = 0;
  virtual void GetWbGainBase(uint32_t gains[3]) = 0;
  virtual HRESULT put_RawDataCallback(LumorixRawDataCallback callback, void* context) = 0;
  virtual HRESULT put_HistogramCallback(PL_HistogramCallback callback, void* context) = 0;
  virtual HRESULT put_DemosaicCallback(PL_DemosaicCallback callback, void* context) = 0;
  virtual HRESULT put_FrameRateEnable(int32_t bypass) = 0;
  virtual int32_t RawQuickDemosaic(uint8_t* frame, uint32_t width, uint32_t height,
                                   uint8_t pixelFormat) = 0;
  virtual HRESULT RawToRgb24(const uint8_t* raw, uint32_t pixelFormat, uint8_t* output,
                             void* auxiliary, const RECT* roi, uint32_t binning,
                             uint32_t outputMode) = 0;
  virtual HRESULT OpenCamera(uint32_t previewIndex) = 0;
  virtual void StopSensor() = 0;
  virtual void SetResolution(uint32_t index, bool still) = 0;
  virtual StillResult* GrabStill(StillResult* result, uint8_t* output, uint8_t* rawCopy,
                                 uint8_t outputBits, platform::Event* stopEvent,
                                 uint32_t frameWidth, uint32_t frameHeight, uint32_t processWidth,
                                 uint32_t processHeight, uint32_t resolutionIndex) = 0;
  // Raw device access for the filter and the guide port (core/device_access.cpp).
  virtual HRESULT put_ST4PulseGuide(uint32_t direction, uint32_t ms) = 0;
  virtual HRESULT QueryGuideState() = 0;  // 1 while a pulse runs, else 0
  virtual HRESULT get_Zero150(uint32_t* value) = 0;
  virtual HRESULT get_PLHlperParams38(uint32_t* a, uint32_t* b, uint32_t* c) = 0;
  virtual HRESULT VenReqWrite31(const void* buffer, uint32_t length, uint16_t index) = 0;
  virtual HRESULT VenReqQuery34() = 0;
  virtual HRESULT VenReqWrite35(uint8_t value) = 0;
  virtual HRESULT VenReqReset30() = 0;
  virtual HRESULT VenReqRead32(void* buffer, uint32_t length, uint16_t index) = 0;
  virtual HRESULT VenReqWrite33(uint8_t value) = 0;
  virtual HRESULT VenReqRaw(uint8_t request, uint8_t direction, uint16_t index, uint16_t value,
                            void* buffer, uint32_t length, uint32_t* transferred) = 0;
  virtual HRESULT VenReqFE() = 0;

 protected:
  ~LumorixImplBase() = default;
};
