// One CCD camera object: the shared model camera over a CCD device and helper, with the class's
// start, stop, still switch and exposure range.
#pragma once

#include <memory>

#include "models/common/ccd_device.h"
#include "models/common/ccd_helper.h"
#include "models/common/ccd_descriptor.h"
#include "models/common/model_camera.h"

class CcdCamera : public ModelCamera {
 public:
  CcdCamera(const CcdSpec& spec, const WCHAR16* deviceId, const WCHAR16* settingsRoot,
            uint8_t flagA, uint8_t flagB, const ModelInfo* model);
  // Stops a started camera first: its threads use every part destroyed below.
  ~CcdCamera() override;

  bool valid() const;

  HRESULT OpenCamera(uint32_t previewIndex) override;
  void StopSensor() override;
  void SetResolution(uint32_t index, bool still) override;
  HRESULT STDMETHODCALLTYPE get_ExpTimeRange(uint32_t* minimum, uint32_t* maximum,
                                             uint32_t* defaultValue) override;

  const CcdSpec& ccdSpec() const { return ccd_; }
  CcdDevice& device() { return *device_; }
  CcdHelper& pipelineHelper() { return *helper_; }

 private:
  const CcdSpec& ccd_;
  std::unique_ptr<CcdDevice> device_;
  std::unique_ptr<CcdHelper> helper_;
};
