// The transport operations a camera model may override, with their constant defaults. The
// transport builds the device-touching ones; models override the rest where they differ.
#pragma once

#include <cstdint>

#include "base/geometry.h"
#include "platform/com_types.h"

struct GrabState;  // the grab loop's per-frame state, owned by the transport

inline constexpr uint8_t kVenWriteReq = 0xEE;
inline constexpr uint8_t kVenReadReq = 0xEF;
inline constexpr uint8_t kSensorReadReq = 0x0A;
inline constexpr uint8_t kSensorWriteReq = 0x0B;
inline constexpr uint32_t kNoTecInfo = 0xFFFFFFFF;

// In the transport's slot order; each says what it returns and when the transport or the camera
// object calls it. The owner deletes a device through this destructor.
class UsbModelHooks {
 public:
  virtual ~UsbModelHooks() = default;

  // Starts (3) or stops (0) the sensor's stream: S_OK or a failure. At open, start and stop.
  virtual HRESULT bSystemInit(uint8_t mode) = 0;
  // Fires count software triggers: S_OK or a failure; from the camera's trigger call.
  virtual HRESULT bTrigger(uint16_t count) { return E_NOTIMPL; }
  // Told when the trigger mode changes, after the transport has stored it.
  virtual void OnTriggerMode() {}
  // Told of a device event code (negative: the device lost its programming or went away).
  virtual void OnDeviceEvent(int32_t code) {}
  // Sensor temperature in tenths of a degree, read and set: S_OK or E_NOTIMPL; from properties.
  virtual HRESULT GetTemperature(int16_t* tenths) { return E_NOTIMPL; }
  virtual HRESULT SetTemperature(int16_t tenths) { return E_NOTIMPL; }
  virtual bool bAltSensor() = 0;  // the flag the transport stores at construction
  // Frame attempts per grab before it gives up (the frame mode triples it); per grab.
  virtual uint32_t GetGrabRetry() { return 1; }
  // True when a speed change waits for the next stream start; on every speed change.
  virtual bool bDeferSpeed() { return false; }
  // Told once the stream has started, after bSystemInit(3).
  virtual void OnStart() {}
  // The sensor window that serves the requested region, all zero for the whole sensor; returns
  // out. When a region is applied and when the windows are measured.
  virtual SensorRect* GetSensorRoi(const SensorRect* requested, SensorRect* out) {
    *out = SensorRect{};
    return out;
  }
  // Told after the region changed, before the next grab.
  virtual void OnRoiChange() {}

  // The on-device colour steps and windows (x, y, width, height in sensor pixels); when the
  // pipeline hands them to the hardware, under the sensor lock.
  virtual void IspEnWB(bool on) = 0;
  virtual void IspEnBB(bool on) = 0;
  virtual void IspSetWB(const int32_t gains[3]) = 0;
  virtual void IspSetBB(const uint16_t levels[3]) = 0;
  virtual void IspEnMatrix(bool on) = 0;
  virtual void IspSetMatrix(const double matrix[9]) = 0;
  virtual void IspSetAWBRect(uint16_t x, uint16_t y, uint16_t width, uint16_t height) = 0;
  virtual void IspSetAERect(uint16_t x, uint16_t y, uint16_t width, uint16_t height) = 0;
  virtual void IspSetABBRect(uint16_t x, uint16_t y, uint16_t width, uint16_t height) = 0;
  virtual void IspSetLut(const uint16_t* table, uint32_t bits) = 0;
  // Whether the device balances black / applies the tone curve itself; when the state is built.
  virtual bool bIspHasABB() = 0;
  virtual bool IspSetLutEx() = 0;
  // Drops the frames the device's memory holds; when a pull starts on a model with memory.
  virtual void bDMAClear() = 0;
  // Device memory written in real time (on) or buffered; from the option.
  virtual void bWriteDdrRealtime(bool on) = 0;

  // Frames per second the index can reach (at least 1); from the frame-rate property.
  virtual uint32_t GetMaxFrameRate(uint32_t resolutionIndex) { return 1; }
  // The precise frame-rate range (maximum 0: none) and its setter: S_OK or E_NOTIMPL.
  virtual uint32_t GetPreciseFrameRateMax() { return 0; }
  virtual uint32_t GetPreciseFrameRateMin() { return 1; }
  virtual HRESULT SetPreciseFrameRate(uint32_t value) { return E_NOTIMPL; }
  // Link bandwidth in percent, saved when asked: S_OK or E_NOTIMPL; at start and from the option.
  virtual HRESULT SetBandwidth(uint32_t percent, bool save) { return E_NOTIMPL; }
  // The cooler's description word, kNoTecInfo without a cooler; from the property.
  virtual uint32_t GetTecInfo() { return kNoTecInfo; }
  // The vendor request codes of this device's control transfers; per transfer.
  virtual uint8_t GetVenWriteReq() { return kVenWriteReq; }
  virtual uint8_t GetVenReadReq() { return kVenReadReq; }
  // One guide pulse (direction 0..4) of ms milliseconds: S_OK or a failure. From the guide
  // port and the camera's ST4 calls, which have checked both.
  virtual HRESULT bST4PulseGuide(uint8_t direction, uint32_t ms) = 0;
  // The device's 16-bit version word: S_OK, or E_NOTIMPL where the device has no such query
  // (every catalogued model). From the version interface.
  virtual HRESULT GetDeviceVersion(uint16_t* version) { return E_NOTIMPL; }

  // Model options 36..39: S_OK, or E_NOTIMPL where the model has none. TODO(#20)
  virtual HRESULT SetOption36(int32_t value) { return E_NOTIMPL; }
  virtual HRESULT SetOption38(int32_t value) { return E_NOTIMPL; }
  virtual HRESULT GetOption36(int32_t* value) { return E_NOTIMPL; }
  virtual HRESULT GetOption38(int32_t* value) { return E_NOTIMPL; }
  virtual HRESULT GetOption39(int32_t* value) { return E_NOTIMPL; }
  virtual HRESULT SetOption37(int32_t value) { return E_NOTIMPL; }
  virtual HRESULT GetOption37(int32_t* value) { return E_NOTIMPL; }

  virtual uint32_t GetFocusPosition() { return 0; }  // low 16 bits used; from the focus thread
  // Whether the device can reload its firmware, and the reload: S_OK or a failure.
  virtual bool bCanReload() { return false; }
  virtual HRESULT bReload(int32_t value) = 0;
  // Ends the device's session; at close, after bSystemInit(0). S_OK or a failure.
  virtual HRESULT bSysFini() = 0;
  // Programs the sensor window; when the region changes, before the region event.
  virtual void SetSensorRoi(const SensorRect* window) {}
  // One completed transfer of the current frame: true when it was taken (the frame goes on),
  // false to restart the frame. From the grab loop, per transfer.
  virtual bool OnGrabPacket(GrabState* state, uint32_t transferSlot, void* context) = 0;
};

// What a CMOS sensor class adds: the request codes of its register reads and writes.
class CmosRequestHooks {
 public:
  virtual uint8_t GetSensorReadReq() { return kSensorReadReq; }
  virtual uint8_t GetSensorWriteReq() { return kSensorWriteReq; }

 protected:
  ~CmosRequestHooks() = default;
};
