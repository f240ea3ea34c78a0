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

// In the transport's slot order. The owner deletes a device through this destructor.
class UsbModelHooks {
 public:
  virtual ~UsbModelHooks() = default;

  virtual HRESULT bSystemInit(uint8_t mode) = 0;
  virtual HRESULT bTrigger(uint16_t count) { return E_NOTIMPL; }
  virtual void OnTriggerMode() {}
  virtual void OnDeviceEvent(int32_t code) {}
  virtual HRESULT GetTemperature(int16_t* tenths) { return E_NOTIMPL; }
  virtual HRESULT SetTemperature(int16_t tenths) { return E_NOTIMPL; }
  virtual bool bAltSensor() = 0;  // the flag the transport stores
  virtual uint32_t GetGrabRetry() { return 1; }
  virtual bool bDeferSpeed() { return false; }
  virtual void OnStart() {}
  virtual SensorRect* GetSensorRoi(const SensorRect* requested, SensorRect* out) {
    *out = SensorRect{};
    return out;
  }
  virtual void OnRoiChange() {}

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
  virtual bool bIspHasABB() = 0;
  virtual bool IspSetLutEx() = 0;
  virtual void bDMAClear() = 0;
  virtual void bWriteDdrRealtime(bool on) = 0;

  virtual uint32_t GetMaxFrameRate(uint32_t resolutionIndex) { return 1; }
  virtual uint32_t GetPreciseFrameRateMax() { return 0; }
  virtual uint32_t GetPreciseFrameRateMin() { return 1; }
  virtual HRESULT SetPreciseFrameRate(uint32_t value) { return E_NOTIMPL; }
  virtual HRESULT SetBandwidth(uint32_t percent, bool save) { return E_NOTIMPL; }
  virtual uint32_t GetTecInfo() { return kNoTecInfo; }
  virtual uint8_t GetVenWriteReq() { return kVenWriteReq; }
  virtual uint8_t GetVenReadReq() { return kVenReadReq; }
  virtual HRESULT bST4PulseGuide(uint8_t direction, uint32_t ms) = 0;

  virtual HRESULT SetOption36(int32_t value) { return E_NOTIMPL; }
  virtual HRESULT SetOption38(int32_t value) { return E_NOTIMPL; }
  virtual HRESULT GetOption36(int32_t* value) { return E_NOTIMPL; }
  virtual HRESULT GetOption38(int32_t* value) { return E_NOTIMPL; }
  virtual HRESULT GetOption39(int32_t* value) { return E_NOTIMPL; }
  virtual HRESULT SetOption37(int32_t value) { return E_NOTIMPL; }
  virtual HRESULT GetOption37(int32_t* value) { return E_NOTIMPL; }

  virtual uint32_t GetFocusPosition() { return 0; }  // low 16 bits used
  virtual bool bCanReload() { return false; }
  virtual HRESULT bReload(int32_t value) = 0;
  virtual HRESULT bSysFini() = 0;
  virtual void SetSensorRoi(const SensorRect* window) {}
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
