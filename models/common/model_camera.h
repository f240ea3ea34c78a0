// The device-neutral part of every model's camera object: the tables BaseImpl points at, the
// helper's defaults and settings, the getters and the stream seam over the model's helper.
#pragma once

#include <array>
#include <memory>

#include "core/base_impl.h"
#include "models/common/helper_stream.h"
#include "models/common/model_descriptor.h"
#include "pipeline/pl_frame_hooks.h"
#include "pipeline/pl_helper_base.h"

// The resolution tables BaseImpl keeps pointers to, built from the catalogue row before it.
struct ModelCameraTables {
  explicit ModelCameraTables(const ModelSpec& spec);
  const ModelSpec& spec_;
  const WCHAR16* modelName_ = nullptr;  // the class's first registration: its settings key
  std::array<ResolutionEntry, kModelResolutionSlots> previews_{};
};

class ModelCamera : protected ModelCameraTables, public BaseImpl {
 public:
  ModelCamera(const ModelSpec& spec, const WCHAR16* settingsRoot, uint8_t flagA, uint8_t flagB,
              const ModelInfo* model);

  // BaseImpl's check plus the shared parts; a family adds its own.
  bool valid() const;

  // The model's getters, from its descriptor.
  void GetColorMatrix(double matrix[9]) override;
  void GetWbGainBase(uint32_t gains[3]) override;
  HRESULT STDMETHODCALLTYPE get_ExpTimeRange(uint32_t* minimum, uint32_t* maximum,
                                             uint32_t* defaultValue) override;
  HRESULT STDMETHODCALLTYPE get_ExpoAGainRange(uint16_t* minimum, uint16_t* maximum,
                                               uint16_t* defaultValue) override;
  HRESULT STDMETHODCALLTYPE get_PixelSize(uint32_t index, float* x, float* y) override;

  const ModelSpec& spec() const { return spec_; }
  HelperStream& stream() { return *stream_; }

 protected:
  // The helper's arguments every family starts from.
  static PLHlperArgs helperArgs(const ModelSpec& spec, const BaseImpl& camera, uint8_t flagA,
                                uint8_t flagB);
  // The family's helper, as soon as it exists: a failed construction clears its settings key.
  void adoptHelper(PLHlperBase& helper) { helper_ = &helper; }
  // After the family built its device and helper: the stream parts, the helper's defaults and
  // settings, the state, the raw table and the camera core's seams.
  void joinParts(CUsb& device, PLHlperBase& helper);
  // Drops the settings key of this object and of every part that would persist through it.
  void forgetSettings();
  // Stops the stream before any part goes: first from the most-derived destructor, while the
  // camera's threads may still call its virtual methods, then from the family's, which finds
  // nothing left to stop.
  void retire();

 private:
  void applyHelperDefaults();
  void installRawLut();

  PLHlperBase* helper_ = nullptr;  // owned by the family, which outlives the parts below
  bool retired_ = false;
  std::unique_ptr<PLFrameHooks> frames_;
  std::unique_ptr<HelperStream> stream_;
  std::array<uint8_t, 256> rawLut_{};
};
