// A CCD class as a type: the CCD camera over one descriptor, and the factory stored for it.
#pragma once

#include "core/make_camera.h"
#include "models/common/ccd_camera.h"

template <const CcdSpec& Spec>
class CcdModel final : public CcdCamera {
 public:
  CcdModel(const WCHAR16* deviceId, const WCHAR16* settingsRoot, uint8_t flagA, uint8_t flagB,
           const ModelInfo* model)
      : CcdCamera(Spec, deviceId, settingsRoot, flagA, flagB, model) {}
  ~CcdModel() override { retire(); }
};

template <const CcdSpec& Spec>
BaseImpl* CreateCcdModel(const WCHAR16* deviceId, const WCHAR16* settingsRoot, uint8_t flagA,
                         uint8_t flagB, const ModelInfo* model) noexcept {
  return MakeCamera<CcdModel<Spec>>(deviceId, settingsRoot, flagA, flagB, model);
}
