// The pipeline helper of a CCD camera: open with its driver state and register-write mode, the
// timing programs, field-reassembled grabs, speed, exposure and gain by the class's rules.
#pragma once

#include <optional>

#include "models/common/ccd_device.h"
#include "models/common/ccd_descriptor.h"
#include "models/common/device_helper.h"

class CcdHelper final : public DeviceHelper {
 public:
  CcdHelper(const PLHlperArgs& args, const CcdSpec& spec, CcdDevice& device);

  int32_t PLHlperInit() override;
  int32_t PLHlperGrabFrame(FrameDescriptor* frame, uint32_t width, uint32_t height,
                           const SensorRect* window, platform::Event* stopEvent,
                           bool singleTry) override;
  HRESULT PLHlperSetSpeed(uint16_t speed, uint8_t force) override;
  HRESULT PLHlperSetExpoTime(uint32_t us) override;
  HRESULT PLHlperSetExpoAGain(uint16_t percent) override;
  HRESULT PLHlperSetSkip(uint32_t) override { return S_OK; }
  bool PLHlperHasFlag40() override { return (modelFlags & 0x40) != 0; }

  // Opens a closed camera, and on the class that asks again takes the register form anew; on an
  // open camera the form stays the one last reported. Returns whether writes take the long form.
  bool requery();
  // The timing program of a mode at the current speed; the first failed write's result.
  HRESULT loadMode(uint32_t mode);
  // A mode's program, then the state's exposure and gain handed over (their notice is the
  // caller's to defer past the sensor lock), and the stream start: how a preview comes back
  // after a still or a clock change.
  void restartMode(uint32_t mode);
  // The still of `index` from the state's exposure and gain.
  void programStill(uint32_t index);
  const CcdSpec& ccdSpec() const { return ccd_; }
  CcdDevice& device() { return device_; }

 private:
  HRESULT writeExposure(const struct CcdExposurePlan& plan);
  HRESULT openWithDriverState();
  uint16_t clockSpeed() const;

  const CcdSpec& ccd_;
  CcdDevice& device_;
  uint16_t loadedSpeed_ = 0;  // the speed the FPGA runs at since the last program
  bool programmed_ = false;
};
