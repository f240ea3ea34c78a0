// The device part of a CMOS camera: the transport with the model's frame rates and device events.
#pragma once

#include "models/common/model_descriptor.h"
#include "usb/ccmos.h"

// Who re-programs the sensor when the device reports that it lost its programming.
class SensorResetHandler {
 public:
  virtual void onSensorReset() = 0;

 protected:
  ~SensorResetHandler() = default;
};

class CmosDevice final : public CCmos {
 public:
  CmosDevice(const ModelSpec& spec, const ModelInfo* model, const WCHAR16* deviceId,
             SensorResetHandler& reset);

  // -4 on an open device: port reset and the sensor's start-up programming again.
  void OnDeviceEvent(int32_t code) override;
  uint32_t GetMaxFrameRate(uint32_t resolutionIndex) override;
  uint8_t GetSensorReadReq() override;
  uint8_t GetSensorWriteReq() override;

  // The USB3 registration of the model; its USB2 row runs the sensor with longer lines.
  bool usb3Link() const;

 private:
  const ModelSpec& spec_;
  SensorResetHandler& reset_;
};
