// One CMOS camera object: the camera core, its device part and its pipeline helper, joined and
// driven from the model's descriptor and sensor driver.
#pragma once

#include <array>
#include <memory>

#include "core/base_impl.h"
#include "models/common/cmos_device.h"
#include "models/common/cmos_helper.h"
#include "models/common/cmos_sensor_writer.h"
#include "models/common/helper_stream.h"
#include "models/common/model_descriptor.h"
#include "models/common/register_program.h"
#include "models/common/sensor_sequencer.h"
#include "pipeline/pl_frame_hooks.h"

// The resolution tables BaseImpl keeps pointers to, built from the catalogue row before it.
struct CmosCameraTables {
  explicit CmosCameraTables(const ModelSpec& spec);
  const ModelSpec& spec_;
  const WCHAR16* modelName_ = nullptr;  // the class's first registration: its settings key
  std::array<ResolutionEntry, kModelResolutionSlots> previews_{};
};

class CmosCamera : private CmosCameraTables,
                   public BaseImpl,
                   private SensorResetHandler,
                   private SensorWindowHandler {
 public:
  CmosCamera(const ModelSpec& spec, const WCHAR16* deviceId, const WCHAR16* settingsRoot,
             uint8_t flagA, uint8_t flagB, const ModelInfo* model);
  // Stops a started camera first, also from one of its own callbacks: its threads use every part
  // destroyed below.
  ~CmosCamera() override;

  // BaseImpl's check plus every part of this object.
  bool valid() const;

  // The model's camera operations.
  HRESULT OpenCamera(uint32_t previewIndex) override;
  void StopSensor() override;
  void SetResolution(uint32_t index, bool still) override;
  void GetColorMatrix(double matrix[9]) override;
  void GetWbGainBase(uint32_t gains[3]) override;
  HRESULT STDMETHODCALLTYPE get_ExpTimeRange(uint32_t* minimum, uint32_t* maximum,
                                             uint32_t* defaultValue) override;
  HRESULT STDMETHODCALLTYPE get_ExpoAGainRange(uint16_t* minimum, uint16_t* maximum,
                                               uint16_t* defaultValue) override;
  HRESULT STDMETHODCALLTYPE get_PixelSize(uint32_t index, float* x, float* y) override;
  // The read-out window, on models with one (E_NOTIMPL otherwise); applied at the next window
  // program.
  HRESULT put_ModelWindow(int32_t on, int32_t x, int32_t y) override;
  HRESULT get_ModelWindow(uint32_t* on, uint32_t* x, uint32_t* y) override;

  // The parts, for the model's own tests and tools.
  const ModelSpec& spec() const { return spec_; }
  CmosDevice& device() { return *device_; }
  CmosHelper& pipelineHelper() { return *helper_; }
  HelperStream& stream() { return *stream_; }
  const SensorState& sensorState() const { return sequencer_->state(); }
  SensorSequencer& sequencer() { return *sequencer_; }
  const SensorContext& sensorContext() const { return sequencer_->context(); }

 private:
  void buildParts(const WCHAR16* deviceId, uint8_t flagA, uint8_t flagB, const ModelInfo* model);
  void applyHelperDefaults();
  void installRawLut();
  bool ownResponse() const;
  void installOwnResponse();
  void onSensorReset() override;
  SensorRect alignWindow(const SensorRect& region) override;
  void programWindow(const SensorRect& window) override;
  // Drops the settings key of this object and of every part that would persist through it.
  void forgetSettings();

  // Destroyed in reverse: the flows before the helper, whose destructor saves through the
  // state, and the helper before the device, which closes the transport last.
  std::unique_ptr<CmosDevice> device_;
  std::unique_ptr<CmosHelper> helper_;
  std::unique_ptr<CmosSensorWriter> writer_;
  std::unique_ptr<RegisterProgram> program_;
  std::unique_ptr<SensorSequencer> sequencer_;
  std::unique_ptr<PLFrameHooks> frames_;
  std::unique_ptr<HelperStream> stream_;
  std::array<uint8_t, 256> rawLut_{};
};
