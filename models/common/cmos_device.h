// The device part of a CMOS camera: the transport with the model's frame rates and device events.
#pragma once

#include "models/common/model_descriptor.h"
#include "usb/ccmos.h"

// Who re-programs the sensor when the device reports that it lost its programming; nothing while
// the device is closed.
class SensorResetHandler {
 public:
  virtual void onSensorReset() = 0;

 protected:
  ~SensorResetHandler() = default;
};

// Who aligns and programs the sensor window of a region, on sensors whose window follows it.
class SensorWindowHandler {
 public:
  virtual SensorRect alignWindow(const SensorRect& region) = 0;
  virtual void programWindow(const SensorRect& window) = 0;

 protected:
  ~SensorWindowHandler() = default;
};

class CmosDevice final : public CCmos {
 public:
  CmosDevice(const ModelSpec& spec, const ModelInfo* model, const WCHAR16* deviceId,
             SensorResetHandler& reset);

  // -4 on an open device of a USB3 class, on either port: port reset and the sensor's start-up
  // programming again. The USB2 classes keep the transport's default: nothing.
  void OnDeviceEvent(int32_t code) override;
  uint32_t GetMaxFrameRate(uint32_t resolutionIndex) override;
  // Without a window handler: no sensor window, nothing programmed (the transport's defaults).
  SensorRect* GetSensorRoi(const SensorRect* requested, SensorRect* out) override;
  void SetSensorRoi(const SensorRect* window) override;
  void attachWindows(SensorWindowHandler& windows) { windows_ = &windows; }
  // The sensor variant the device reports (request 0x2E), asked at every open.
  void setAltSensor(bool alternative) { altSensor_ = alternative ? 1 : 0; }
  // The reported variant, or on classes whose alternative chip is a product id, that id's.
  bool bAltSensor() override;
  uint8_t GetSensorReadReq() override;
  uint8_t GetSensorWriteReq() override;

  // The USB3 registration of the model; its USB2 row runs the sensor with longer lines.
  bool usb3Link() const;
  // The registration offers the skip setting.
  bool offersSkip() const;
  // The model's own class is a USB3 one (its sensor re-initialises on a device event).
  bool usb3Class() const;

 private:
  const ModelSpec& spec_;
  SensorResetHandler& reset_;
  SensorWindowHandler* windows_ = nullptr;
};
