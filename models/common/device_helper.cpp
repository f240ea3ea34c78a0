// The pipeline helper operations every model shares over its device part.
#include "models/common/device_helper.h"

#include "core/lumorix.h"
#include "base/lumorix_flags.h"
#include "pipeline/frame_descriptor.h"
#include "pipeline/pl_frame_hooks.h"
#include "pipeline/pl_start.h"
#include "pipeline/preset_record.h"

// The time the state asks for, recorded as applied: the speed and open flows program it.
uint32_t DeviceHelper::takeExposureNow() {
  uint32_t t = spec_.exposureUs.def;
  PL_CurrentExposureTime(*this, &t);
  appliedTime = t;
  return t;
}

std::optional<uint16_t> DeviceHelper::gainNow() {
  uint16_t g = 0;
  if (!PL_CurrentGain(*this, &g)) return std::nullopt;
  appliedGain = g;
  return g;
}

void DeviceHelper::handOverExposure() {
  constexpr uint8_t kForced = 1;
  if (!PL_CurrentExposureTime(*this, nullptr)) (void)PLHlperSetExpoTime(takeExposureNow());
  ExpoProcTime(*this, kForced);
}

void DeviceHelper::PLHlperGetDefaultPreset(PresetRecord* preset) {
  if (!preset) return;
  preset->speed = static_cast<uint8_t>(spec_.defaultSpeed);
  preset->fan = 0;
  preset->tecTarget = 0;
  preset->triggerModeTime = spec_.presetTriggerTimeUs;
  preset->videoModeTime = spec_.exposureUs.def;
  if (hasFlag(LUMORIX_FLAG_BLACKLEVEL)) preset->blackLevel = 3;
  preset->settings.processFlags &= ~PLProcessFlags::kFormatMask;
  preset->settings.aeThreshold = spec_.presetAeThreshold;
  preset->preciseFrameRate = 0;
  preset->bandwidth = 0;
}

// Maps the copy taken under the region lock: a region set meanwhile waits for the next frame.
void DeviceHelper::PLHlperApplyRoi(FrameDescriptor* frame, platform::Event*) {
  SensorRect taken{};
  if (device_.takePendingRoi(&taken)) {
    SensorRect window{};
    device_.GetSensorRoi(&taken, &window);
    device_.setSensorWindow(window);
    if (frame) frame->roi = taken, frame->sensorWindow = window;
    device_.EzWriteRoiNotify(&window);
    return;
  }
  if (frame) frame->roi = device_.appliedRoi(), frame->sensorWindow = device_.sensorWindow();
}

SensorRect* DeviceHelper::PLHlperGetSensorRoi(SensorRect* out) {
  if (!out) return out;
  const SensorRect requested = device_.requestedRoi();
  *out = SensorRect{};
  device_.GetSensorRoi(&requested, out);
  return out;
}

SensorRect* DeviceHelper::PLHlperGetRoi(SensorRect* out) {
  if (out) *out = device_.requestedRoi();
  return out;
}

// The pipeline's setter is the one writer: it checks the mode and snaps a manual time.
HRESULT DeviceHelper::PLHlperSetLightFrequency(uint32_t mode) {
  return PL_SetLightFrquency(*this, mode);
}

void DeviceHelper::IspSetLut(const uint16_t* table, uint32_t) {
  if (!device_.IspSetLutEx()) device_.IspSetLut(table, LutBits(modelFlags));
}

uint32_t DeviceHelper::LutBits(uint64_t flags) {
  if (flags & (uint64_t{1} << 30)) return 24;
  if (flags & LUMORIX_FLAG_RAW16) return 16;
  if (flags & LUMORIX_FLAG_RAW14) return 14;
  if (flags & (LUMORIX_FLAG_RAW12 | LUMORIX_FLAG_RAW12_ALT)) return 12;
  if (flags & LUMORIX_FLAG_RAW10) return 10;
  return 8;
}

void DeviceHelper::PLHlperGetOutputSize(uint32_t* width, uint32_t* height) {
  uint32_t w = frameWidth, h = frameHeight;
  const SensorRect r = device_.requestedRoi();
  if (r.left || r.top || r.right || r.bottom) w = r.right - r.left, h = r.bottom - r.top;
  const uint32_t factor = device_.binning & 0x7Fu;
  if (factor >= 2) w = (w / factor) & ~1u, h = (h / factor) & ~1u;
  if (width) *width = w;
  if (height) *height = h;
}

void DeviceHelper::PLHlperGetValues38(uint32_t* a, uint32_t* b, uint32_t* c) {
  if (a) *a = 102;
  if (b) *b = 4000;
  if (c) *c = 8000;
}

HRESULT DeviceHelper::PLHlperGetFocusInfo(LumorixFocusInfo* info) {
  if (!info) return E_POINTER;
  info->value[0] = 850;
  info->value[2] = 0;
  info->value[3] = 10600;
  info->value[4] = -5400;
  return S_OK;
}
