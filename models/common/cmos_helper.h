// The pipeline helper of a CMOS camera: the model's own operations (open, grab, speed, exposure,
// gain, skip) from its descriptor and sensor, over the generic ones of every device.
#pragma once

#include "models/common/cmos_device.h"
#include "models/common/device_helper.h"
#include "models/common/model_descriptor.h"
#include "models/common/sensor_sequencer.h"

class CmosHelper final : public DeviceHelper, public ExposureHandOver {
 public:
  CmosHelper(const PLHlperArgs& args, const ModelSpec& spec, CmosDevice& device);

  // The sensor flows exist once the helper's lock does; they are attached right after.
  void attach(SensorSequencer& sequencer) { sequencer_ = &sequencer; }
  SensorSequencer& sequencer() { return *sequencer_; }
  CmosDevice& device() { return device_; }

  // The model's own operations.
  int32_t PLHlperInit() override;
  int32_t PLHlperGrabFrame(FrameDescriptor* frame, uint32_t width, uint32_t height,
                           const SensorRect* window, platform::Event* stopEvent,
                           bool singleTry) override;
  HRESULT PLHlperSetSpeed(uint16_t speed, uint8_t force) override;
  HRESULT PLHlperSetExpoTime(uint32_t us) override;
  HRESULT PLHlperSetExpoAGain(uint16_t percent) override;

  bool PLHlperHasFlag40() override;
  HRESULT PLHlperSetSkip(uint32_t value) override;

  // The exposure after a speed, region, skip or still program, an open or a reset: the state's,
  // snapped and forced, with its notice; a reset's gain likewise.
  void reapplyExposure() override { handOverExposure(); }
  void reapplyGain(uint16_t percent) override;

 private:
  // The transport opened the model's way; the caller closes it again on failure.
  HRESULT openDevice();
  HRESULT selectInterfaceOnce();

  CmosDevice& device_;
  SensorSequencer* sequencer_ = nullptr;
};
