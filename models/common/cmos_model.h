// A model class as a type: the CMOS camera over one descriptor, and the factory stored for it.
#pragma once

#include "core/make_camera.h"
#include "models/common/cmos_camera.h"

template <const ModelSpec& Spec>
class CmosModel final : public CmosCamera {
 public:
  CmosModel(const WCHAR16* deviceId, const WCHAR16* settingsRoot, uint8_t flagA, uint8_t flagB,
            const ModelInfo* model)
      : CmosCamera(Spec, deviceId, settingsRoot, flagA, flagB, model) {}
  ~CmosModel() override { retire(); }
};

template <const ModelSpec& Spec>
BaseImpl* CreateModel(const WCHAR16* deviceId, const WCHAR16* settingsRoot, uint8_t flagA,
                      uint8_t flagB, const ModelInfo* model) noexcept {
  return MakeCamera<CmosModel<Spec>>(deviceId, settingsRoot, flagA, flagB, model);
}
