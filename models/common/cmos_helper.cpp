// The pipeline helper of a CMOS camera: generic operations and the model's own from its descriptor.
#include "models/common/cmos_helper.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "core/lumorix.h"
#include "base/lumorix_flags.h"
#include "base/trace.h"
#include "pipeline/frame_descriptor.h"
#include "pipeline/pl_frame_hooks.h"
#include "pipeline/pl_start.h"
#include "pipeline/preset_record.h"
#include "pipeline/store/eeprom_data.h"
#include "platform/wait_hook.h"

namespace {
constexpr uint32_t kOpenSettleMs = 50;
constexpr uint32_t kGrabSlackMs = 3000;
constexpr uint32_t kBlockRows = 128;
constexpr uint32_t kNoTimeout = 0xFFFFFFFFu;
}  // namespace

CmosHelper::CmosHelper(const PLHlperArgs& args, const ModelSpec& spec, CmosDevice& device)
    : PLHlperBase(args), spec_(spec), device_(device) {}

// Opens once; a second call while open answers 1. A failed open leaves nothing open or marked.
int32_t CmosHelper::PLHlperInit() {
  if (device_.deviceOpened) return 1;
  const HRESULT opened = device_.bInitUSB(false);
  if (FAILED(opened)) {
    device_.bFiniUSB();
    return opened;
  }
  if (device_.kernelDriver()) device_.ResetPort();
  platform::HookedSleepMs(kOpenSettleMs);
  device_.deviceOpened = 1;
  PostOpenRestore(*this);
  return 0;
}

// Single grabs read once; otherwise, on models that grab twice, a first frame is dropped, as after
// a sensor switch.
int32_t CmosHelper::PLHlperGrabFrame(FrameDescriptor* frame, uint32_t width, uint32_t height,
                                     const SensorRect*, platform::Event* stopEvent,
                                     bool singleTry) {
  ZX_TRACE("%s: enter", "PLHlperGrabFrame");
  const uint64_t frameBytes64 =
      spec_.frameBytes(width, height, device_.usb3Link(), device_.revision());
  const uint64_t block = uint64_t{width} * kBlockRows;
  int32_t result = -1;
  if (frame && frame->buffer && frameBytes64 <= rawFrameBytes && block <= device_.transferSize()) {
    const uint32_t timeout =
        device_.triggerMode ? kNoTimeout : spec_.exposureUs.max / 1000 + kGrabSlackMs;
    for (int tries = singleTry ? 1 : spec_.grabTries; tries > 0; --tries) {
      result = device_.EzusbGrabFrame(frame->buffer, stopEvent, static_cast<uint32_t>(block),
                                      static_cast<uint32_t>(frameBytes64), timeout, 0, nullptr);
      if (result <= 0) break;
    }
  }
  ZX_TRACE("%s: leave, %d", "PLHlperGrabFrame", result);
  return result;
}

// The pipeline stored the level; a deferring device closed takes it at its next open.
HRESULT CmosHelper::PLHlperSetSpeed(uint16_t newSpeed, uint8_t) {
  if (device_.bDeferSpeed() && !device_.isOpen()) return S_OK;
  std::lock_guard<platform::RecursiveLock> hold(sensorLock());
  sequencer_->setSpeed(newSpeed, takeExposureNow());
  return S_OK;
}

// The time the state asks for, recorded as applied: the speed and open flows program it.
uint32_t CmosHelper::takeExposureNow() {
  uint32_t t = spec_.exposureUs.def;
  PL_CurrentExposureTime(*this, &t);
  appliedTime = t;
  return t;
}

std::optional<uint16_t> CmosHelper::gainNow() {
  uint16_t g = 0;
  if (!PL_CurrentGain(*this, &g)) return std::nullopt;
  appliedGain = g;
  return g;
}

// A changed setting at a reduced size: the defect list of the new mode, the sensor's window for
// it, and the exposure again, all under the sensor lock so no program interleaves. S_FALSE when
// the sensor was left alone, so the caller raises no exposure notice.
HRESULT CmosHelper::PLHlperSetSkip(uint32_t value) {
  std::lock_guard<platform::RecursiveLock> hold(sensorLock());
  if ((value != 0) == (skip != 0)) return S_FALSE;
  skip = value;
  if (resolutionIndex == 0) return S_FALSE;
  SelectDefectList(*this);
  sequencer_->switchSkip(value != 0, speed, takeExposureNow());
  return S_OK;
}

HRESULT CmosHelper::PLHlperSetExpoTime(uint32_t us) {
  ZX_TRACE("%s: %u", "PLHlperSetExpoTime", us);
  sequencer_->setExposure(spec_.clampExposure(us), speed);
  return S_OK;
}

HRESULT CmosHelper::PLHlperSetExpoAGain(uint16_t percent) {
  ZX_TRACE("%s: %hu", "PLHlperSetExpoAGain", percent);
  sequencer_->setGain(percent);
  return S_OK;
}

void CmosHelper::PLHlperGetDefaultPreset(PresetRecord* preset) {
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

bool CmosHelper::PLHlperHasFlag40() {
  return device_.usb3Link();
}

// Maps the copy taken under the region lock: a region set meanwhile waits for the next frame.
void CmosHelper::PLHlperApplyRoi(FrameDescriptor* frame, platform::Event*) {
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

SensorRect* CmosHelper::PLHlperGetSensorRoi(SensorRect* out) {
  if (!out) return out;
  const SensorRect requested = device_.requestedRoi();
  *out = SensorRect{};
  device_.GetSensorRoi(&requested, out);
  return out;
}

SensorRect* CmosHelper::PLHlperGetRoi(SensorRect* out) {
  if (out) *out = device_.requestedRoi();
  return out;
}

// The pipeline's setter is the one writer: it checks the mode and snaps a manual time.
HRESULT CmosHelper::PLHlperSetLightFrequency(uint32_t mode) {
  return PL_SetLightFrquency(*this, mode);
}

void CmosHelper::IspSetLut(const uint16_t* table, uint32_t) {
  if (!device_.IspSetLutEx()) device_.IspSetLut(table, LutBits(modelFlags));
}

uint32_t CmosHelper::LutBits(uint64_t flags) {
  if (flags & (uint64_t{1} << 30)) return 24;
  if (flags & LUMORIX_FLAG_RAW16) return 16;
  if (flags & LUMORIX_FLAG_RAW14) return 14;
  if (flags & (LUMORIX_FLAG_RAW12 | LUMORIX_FLAG_RAW12_ALT)) return 12;
  if (flags & LUMORIX_FLAG_RAW10) return 10;
  return 8;
}

void CmosHelper::PLHlperGetOutputSize(uint32_t* width, uint32_t* height) {
  uint32_t w = frameWidth, h = frameHeight;
  const SensorRect r = device_.requestedRoi();
  if (r.left || r.top || r.right || r.bottom) w = r.right - r.left, h = r.bottom - r.top;
  const uint32_t factor = device_.binning & 0x7Fu;
  if (factor >= 2) w = (w / factor) & ~1u, h = (h / factor) & ~1u;
  if (width) *width = w;
  if (height) *height = h;
}

void CmosHelper::PLHlperGetValues38(uint32_t* a, uint32_t* b, uint32_t* c) {
  if (a) *a = 102;
  if (b) *b = 4000;
  if (c) *c = 8000;
}

HRESULT CmosHelper::PLHlperGetFocusInfo(LumorixFocusInfo* info) {
  if (!info) return E_POINTER;
  info->value[0] = 850;
  info->value[2] = 0;
  info->value[3] = 10600;
  info->value[4] = -5400;
  return S_OK;
}
