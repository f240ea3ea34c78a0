// One CMOS camera object: the camera core, its device part and its pipeline helper, joined and
// driven from the model's descriptor and sensor driver.
#pragma once

#include <memory>

#include "models/common/cmos_device.h"
#include "models/common/cmos_helper.h"
#include "models/common/cmos_sensor_writer.h"
#include "models/common/model_camera.h"
#include "models/common/register_program.h"
#include "models/common/sensor_sequencer.h"

class CmosCamera : public ModelCamera, private SensorResetHandler, private SensorWindowHandler {
 public:
  CmosCamera(const ModelSpec& spec, const WCHAR16* deviceId, const WCHAR16* settingsRoot,
             uint8_t flagA, uint8_t flagB, const ModelInfo* model);
  // Stops a started camera first, also from one of its own callbacks: its threads use every part
  // destroyed below.
  ~CmosCamera() override;

  // ModelCamera's check plus every part of this object.
  bool valid() const;

  // The model's camera operations.
  HRESULT OpenCamera(uint32_t previewIndex) override;
  void StopSensor() override;
  void SetResolution(uint32_t index, bool still) override;
  // A board with its own colour response answers it instead of the class's.
  void GetColorMatrix(double matrix[9]) override;
  void GetWbGainBase(uint32_t gains[3]) override;
  // The read-out window, on models with one (E_NOTIMPL otherwise); applied at the next window
  // program.
  HRESULT put_ModelWindow(int32_t on, int32_t x, int32_t y) override;
  HRESULT get_ModelWindow(uint32_t* on, uint32_t* x, uint32_t* y) override;

  // The parts, for the model's own tests and tools.
  CmosDevice& device() { return *device_; }
  CmosHelper& pipelineHelper() { return *helper_; }
  const SensorState& sensorState() const { return sequencer_->state(); }
  SensorSequencer& sequencer() { return *sequencer_; }
  const SensorContext& sensorContext() const { return sequencer_->context(); }

 private:
  void buildParts(const WCHAR16* deviceId, uint8_t flagA, uint8_t flagB, const ModelInfo* model);
  bool ownResponse() const;
  void installOwnResponse();
  void onSensorReset() override;
  SensorRect alignWindow(const SensorRect& region) override;
  void programWindow(const SensorRect& window) override;

  // Destroyed in reverse: the flows before the helper, whose destructor saves through the
  // state, and the helper before the device, which closes the transport last.
  std::unique_ptr<CmosDevice> device_;
  std::unique_ptr<CmosHelper> helper_;
  std::unique_ptr<CmosSensorWriter> writer_;
  std::unique_ptr<RegisterProgram> program_;
  std::unique_ptr<SensorSequencer> sequencer_;
};
