// The device part of a CMOS camera: the transport with the model's frame rates and device events.
#include "models/common/cmos_device.h"

#include "base/lumorix_flags.h"
#include "core/model_catalogue.h"
#include "models/catalogue_table.h"

namespace {
constexpr int32_t kSensorLost = -4;
}

CmosDevice::CmosDevice(const ModelSpec& spec, const ModelInfo* model, const WCHAR16* deviceId,
                       SensorResetHandler& reset)
    : CCmos(spec.transferSize, spec.inEndpoint, model, deviceId), spec_(spec), reset_(reset) {}

void CmosDevice::OnDeviceEvent(int32_t code) {
  if (code == kSensorLost && usb3Class()) reset_.onSensorReset();
}

// The class's own row keeps the USB3 flag also when its USB2 registration opened the device.
bool CmosDevice::usb3Class() const {
  const ModelCatalogueRow* row = spec_.row();
  return row && (row->model.flags & LUMORIX_FLAG_USB3) != 0;
}

bool CmosDevice::bAltSensor() {
  return spec_.alternativeIdBase ? spec_.isAlternative(productId()) : CCmos::bAltSensor();
}

uint32_t CmosDevice::GetMaxFrameRate(uint32_t resolutionIndex) {
  return spec_.maxFrameRateOf(resolutionIndex);
}

uint8_t CmosDevice::GetSensorReadReq() {
  return spec_.sensorReadReq ? spec_.sensorReadReq : CCmos::GetSensorReadReq();
}

uint8_t CmosDevice::GetSensorWriteReq() {
  return spec_.sensorWriteReq ? spec_.sensorWriteReq : CCmos::GetSensorWriteReq();
}

bool CmosDevice::usb3Link() const {
  return model_ && (model_->flags & LUMORIX_FLAG_USB3) != 0;
}

bool CmosDevice::offersSkip() const {
  return model_ && (model_->flags & LUMORIX_FLAG_SKIP) != 0;
}

SensorRect* CmosDevice::GetSensorRoi(const SensorRect* requested, SensorRect* out) {
  if (!out) return out;
  *out = windows_ && requested ? windows_->alignWindow(*requested) : SensorRect{};
  return out;
}

void CmosDevice::SetSensorRoi(const SensorRect* window) {
  if (windows_ && window) windows_->programWindow(*window);
}
