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

// The 42 helper operations, in slot order; the model's helper layer supplies every one. Each says
// what it returns and when the pipeline or the camera object calls it.
class HelperModelHooks {
 public:
  virtual ~HelperModelHooks() = default;

  // Opens the device once: 0 on the opening call, 1 when already open, a failure HRESULT. At
  // the stream start, before the sensor is programmed.
  virtual int32_t PLHlperInit() = 0;
  // One raw frame into frame->buffer: 1 a frame, 0 none (stopped or timed out), negative a
  // failure. Per frame from the grab thread, and per still; singleTry skips the second try.
  virtual int32_t PLHlperGrabFrame(FrameDescriptor* frame, uint32_t width, uint32_t height,
                                   const SensorRect* window, platform::Event* stopEvent,
                                   bool singleTry) = 0;
  // Whether the model runs on its USB3 link (flag 0x40 of its class word); at construction.
  virtual bool PLHlperHasFlag40() = 0;
  // True in the device's frame mode, where the EEPROM block is not loaded; at start.
  virtual bool PLHlperGetCalc2630() = 0;
  // Applies a pending region to the device and fills frame->roi; before each grab.
  virtual void PLHlperApplyRoi(FrameDescriptor* frame, platform::Event* stopEvent) = 0;
  // The sensor's output depth (0 8-bit, 1 high-bit); when the state is (re)built.
  virtual void PLHlperSetBitDepth(uint8_t depth) = 0;
  // True while the camera waits for triggers; per grab and when the exposure is programmed.
  virtual bool PLHlperIsTrigger() = 0;
  // The sensor window in frame pixels, all zero for the whole sensor; returns out. On AE/AWB
  // window changes.
  virtual SensorRect* PLHlperGetSensorRoi(SensorRect* out) = 0;
  // The region the frame is cut to, all zero for none; returns out. When the state is built.
  virtual SensorRect* PLHlperGetRoi(SensorRect* out) = 0;
  // Anti-flicker mode (0 50 Hz, 1 60 Hz, 2 none): S_OK or a failure; from the property.
  virtual HRESULT PLHlperSetLightFrequency(uint32_t mode) = 0;
  // Programs the sensor clock; force reprograms an unchanged speed. S_OK, S_FALSE when the device
  // keeps its speed until its next start (PL_SetSpeed then keeps the stored one), or a failure.
  // Called under the sensor lock by PL_SetSpeed, which stores the value: the hook never does.
  virtual HRESULT PLHlperSetSpeed(uint16_t speed, uint8_t force) = 0;
  // Frame skipping on the device: S_OK when the setting was taken (the sensor reprogrammed with
  // its exposure handed over through ExpoProcTime, or its window marked for the next region step),
  // S_FALSE when it was left alone, or a failure, which the caller does not report. Called under
  // the sensor lock by PL_SetSkip, which stores the value and defers the hand-over's notice past
  // the lock.
  virtual HRESULT PLHlperSetSkip(uint32_t skip) = 0;
  // The device's black level; at start and from the black-level setter.
  virtual HRESULT PLHlperSetBlackLevel(uint16_t level) = 0;
  // Conversion gain; at start when the model has it.
  virtual HRESULT PLHlperSetCG(uint32_t gain) = 0;
  // Programs the exposure in microseconds; from the single exposure writer and AE, under the
  // sensor lock. S_OK or a failure.
  virtual HRESULT PLHlperSetExpoTime(uint32_t us) = 0;
  // Programs the analogue gain in percent; from the single gain writer and AE.
  virtual HRESULT PLHlperSetExpoAGain(uint16_t percent) = 0;
  // Fan speed and cooler on/off: S_OK or a failure; only through PL_SetFan and PL_SetTec.
  virtual HRESULT PLHlperSetFan(uint16_t speed) = 0;
  virtual HRESULT PLHlperSetTEC(uint32_t on) = 0;
  // Cooler target in tenths of a degree: S_OK or a failure; at start and from the property.
  virtual HRESULT PLHlperSetTECTarget(int32_t tenths) = 0;
  // The on-device colour steps, when the state hands them to the hardware.
  virtual void IspSetMatrix(const double matrix[9]) = 0;
  virtual void IspSetWB(const int32_t gains[3]) = 0;
  virtual void IspSetBB(const uint16_t levels[3]) = 0;
  virtual void IspSetLut(const uint16_t* table, uint32_t bits) = 0;
  // The on-device measuring windows in sensor pixels, (x, y, width, height) as the transport
  // takes them; whenever a window or the sensor window changes.
  virtual void IspSetAWBRect(uint16_t x, uint16_t y, uint16_t width, uint16_t height) = 0;
  virtual void IspSetAERect(uint16_t x, uint16_t y, uint16_t width, uint16_t height) = 0;
  virtual void IspSetABBRect(uint16_t x, uint16_t y, uint16_t width, uint16_t height) = 0;
  // Whether the device balances black itself; when the state is built.
  virtual bool bIspHasABB() = 0;
  // Whether the device applies the tone curve itself; when the state is built.
  virtual bool IspSetLutEx() = 0;
  // The raw format the state was built for; when it is (re)built.
  virtual void PLHlperSetPixelFormat(uint8_t format) = 0;
  // The delivered size after binning and region; from the camera object.
  virtual void PLHlperGetOutputSize(uint32_t* width, uint32_t* height) = 0;
  // Turns the on-device balance and matrix on; at start when the hardware does them.
  virtual void IspEnWB(bool on) = 0;
  virtual void IspEnMatrix(bool on) = 0;
  virtual uint32_t bEEPROMRead(uint8_t* buffer) = 0;  // 65536 bytes; byte count, 0 on failure
  // Fills the model's factory preset; when the presets are loaded or reset.
  virtual void PLHlperGetDefaultPreset(PresetRecord* preset) = 0;
  // The binning mode byte (low bits the factor, 0x80 averaging); saved and loaded with settings.
  virtual uint8_t PLHlperGetBinning() = 0;
  virtual void PLHlperSetBinning(uint8_t binning) = 0;
  // Cooler reading index into out: non-zero when read; from the property.
  virtual int32_t PLHlperGetTecInfo(uint32_t index, int32_t* out) = 0;
  // Three model values for the host, each pointer optional; from the property.
  virtual void PLHlperGetValues38(uint32_t* a, uint32_t* b, uint32_t* c) = 0;
  // The focus motor's state: S_OK, or E_NOTIMPL without a motor.
  virtual HRESULT PLHlperGetFocusInfo(LumorixFocusInfo* info) = 0;
  // Link bandwidth in percent, saved when asked: S_OK or E_NOTIMPL; at start and from the option.
  virtual HRESULT SetBandwidth(uint32_t percent, bool save) = 0;
  // The precise frame rate, and its maximum (0: the model has none); at start and from options.
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
  virtual void SetDemosaicCallback(PL_DemosaicHook callback, void* context) = 0;

 protected:
  ~HelperFrameServices() = default;
};
