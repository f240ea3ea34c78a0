// The pipeline-helper operations every model supplies, and the frame services the camera object
// and the CCD models call on the helper.
#pragma once

#include <cstdint>

#include "base/geometry.h"
#include "base/host_callbacks.h"
#include "platform/com_types.h"

namespace platform {
class Event;
}

struct FrameDescriptor;  // raw buffer, region and sensor window of one grab (pipeline-owned)
struct StillResult;      // status, format and size of one still grab (pipeline-owned)
struct PresetRecord;
struct LumorixFocusInfo;

// The 42 helper operations, in slot order; the model's helper layer supplies every one.
class HelperModelHooks {
 public:
  virtual ~HelperModelHooks() = default;

  virtual int32_t PLHlperInit() = 0;
  virtual int32_t PLHlperGrabFrame(FrameDescriptor* frame, uint32_t width, uint32_t height,
                                   const SensorRect* window, platform::Event* stopEvent,
                                   bool singleTry) = 0;
  virtual bool PLHlperHasFlag40() = 0;
  virtual bool PLHlperGetCalc2630() = 0;
  virtual void PLHlperApplyRoi(FrameDescriptor* frame, platform::Event* stopEvent) = 0;
  virtual void PLHlperSetBitDepth(uint8_t depth) = 0;
  virtual bool PLHlperIsTrigger() = 0;
  virtual SensorRect* PLHlperGetSensorRoi(SensorRect* out) = 0;
  virtual SensorRect* PLHlperGetRoi(SensorRect* out) = 0;
  virtual HRESULT PLHlperSetLightFrequency(uint32_t mode) = 0;
  // Programs the speed or skip the pipeline stores (PL_SetSpeed, PL_SetSkip), under the sensor
  // lock; the hooks never store the value themselves.
  virtual HRESULT PLHlperSetSpeed(uint16_t speed, uint8_t force) = 0;
  virtual HRESULT PLHlperSetSkip(uint32_t skip) = 0;
  virtual HRESULT PLHlperSetBlackLevel(uint16_t level) = 0;
  virtual HRESULT PLHlperSetCG(uint32_t gain) = 0;
  virtual HRESULT PLHlperSetExpoTime(uint32_t us) = 0;
  virtual HRESULT PLHlperSetExpoAGain(uint16_t percent) = 0;
  virtual HRESULT PLHlperSetFan(uint16_t speed) = 0;
  virtual HRESULT PLHlperSetTEC(uint32_t on) = 0;
  virtual HRESULT PLHlperSetTECTarget(int32_t tenths) = 0;
  virtual void IspSetMatrix(const double matrix[9]) = 0;
  virtual void IspSetWB(const int32_t gains[3]) = 0;
  virtual void IspSetBB(const uint16_t levels[3]) = 0;
  virtual void IspSetLut(const uint16_t* table, uint32_t bits) = 0;
  // The helper's windows come as (x, width, y, height), the order of the ISP registers.
  virtual void IspSetAWBRect(uint16_t x, uint16_t width, uint16_t y, uint16_t height) = 0;
  virtual void IspSetAERect(uint16_t x, uint16_t width, uint16_t y, uint16_t height) = 0;
  virtual void IspSetABBRect(uint16_t x, uint16_t width, uint16_t y, uint16_t height) = 0;
  virtual bool bIspHasABB() = 0;
  virtual bool IspSetLutEx() = 0;
  virtual void PLHlperSetPixelFormat(uint8_t format) = 0;
  virtual void PLHlperGetOutputSize(uint32_t* width, uint32_t* height) = 0;
  virtual void IspEnWB(bool on) = 0;
  virtual void IspEnMatrix(bool on) = 0;
  virtual uint32_t bEEPROMRead(uint8_t* buffer) = 0;  // 65536 bytes; byte count, 0 on failure
  virtual void PLHlperGetDefaultPreset(PresetRecord* preset) = 0;
  virtual uint8_t PLHlperGetBinning() = 0;
  virtual void PLHlperSetBinning(uint8_t binning) = 0;
  virtual int32_t PLHlperGetTecInfo(uint32_t index, int32_t* out) = 0;
  virtual void PLHlperGetValues38(uint32_t* a, uint32_t* b, uint32_t* c) = 0;
  virtual HRESULT PLHlperGetFocusInfo(LumorixFocusInfo* info) = 0;
  virtual HRESULT SetBandwidth(uint32_t percent, bool save) = 0;
  virtual HRESULT SetPreciseFrameRate(uint32_t value) = 0;
  virtual uint32_t GetPreciseFrameRateMax() = 0;
};

// The arguments of the camera object's raw-to-RGB conversion, handed on to the frame drivers.
struct FrameConvertRequest {
  const uint8_t* raw;
  uint32_t pixelFormat;
  uint8_t* output;
  void* auxiliary;  // null from the pins
  const RECT* roi;  // null: the whole frame
  uint32_t binning;
  uint32_t outputMode;  // 0 from the pins
};

// What the camera object and the CCD models call on the helper for frames.
class HelperFrameServices {
 public:
  virtual StillResult* GrabStillFrame(StillResult* result, uint8_t* output, uint8_t* rawCopy,
                                      uint8_t outputBits, platform::Event* stopEvent,
                                      uint32_t frameWidth, uint32_t frameHeight,
                                      uint32_t processWidth, uint32_t processHeight,
                                      uint32_t resolutionIndex) = 0;
  virtual HRESULT PL_ProcessFrame8(const FrameConvertRequest& request) = 0;
  virtual HRESULT PL_ProcessRaw16(const FrameConvertRequest& request) = 0;
  virtual HRESULT PL_ProcessMono16(const FrameConvertRequest& request) = 0;
  virtual int32_t QuickRawToRgb(uint8_t* frame, uint32_t width, uint32_t height,
                                uint8_t pixelFormat) = 0;
  virtual void SetHistogramCallback(PL_HistogramCallback callback, void* context) = 0;
  virtual void SetDemosaicCallback(PL_DemosaicCallback callback, void* context) = 0;

 protected:
  ~HelperFrameServices() = default;
};
