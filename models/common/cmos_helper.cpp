// The pipeline helper of a CMOS camera: the model's own operations from its descriptor.
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
constexpr uint32_t kInterfaceSettleMs = 30;
constexpr uint32_t kGrabSlackMs = 3000;
constexpr uint32_t kNoTimeout = 0xFFFFFFFFu;
constexpr uint8_t kStreamStart = 1, kStreamStop = 0;
constexpr uint8_t kForced = 1;
}  // namespace

CmosHelper::CmosHelper(const PLHlperArgs& args, const ModelSpec& spec, CmosDevice& device)
    : DeviceHelper(args, spec, device), device_(device) {}

// Opens once; a second call while open answers 1. A failed open leaves nothing open or marked:
// the handle, events and buffers go too, so the retry opens the exclusive device afresh. Under
// the sensor lock, which the stop closes under, so a host's request on another thread never
// meets a half-open or closing device. The restore reads the EEPROM into the state: after it.
int32_t CmosHelper::PLHlperInit() {
  {
    std::lock_guard<platform::RecursiveLock> hold(sensorLock());
    if (device_.deviceOpened) return 1;
    const HRESULT opened = openDevice();
    if (FAILED(opened)) {
      device_.bFiniUSB();
      return opened;
    }
    if (spec_.asksAltSensor) device_.setAltSensor(device_.bGetAltSensor());
    device_.deviceOpened = 1;
  }
  PostOpenRestore(*this);
  return 0;
}

HRESULT CmosHelper::openDevice() {
  const HRESULT opened = device_.bInitUSB(spec_.openVariant == OpenVariant::InitSequence);
  if (FAILED(opened)) return opened;
  switch (spec_.openVariant) {
    case OpenVariant::ResetPort:
      if (device_.kernelDriver()) device_.ResetPort();
      platform::HookedSleepMs(kOpenSettleMs);
      return S_OK;
    case OpenVariant::DriverStateInit:
      if (const HRESULT hr = selectInterfaceOnce(); FAILED(hr)) return hr;
      for (const uint8_t mode : {kStreamStart, kStreamStop, kStreamStart})
        if (const HRESULT hr = device_.bSystemInit(mode); FAILED(hr)) return hr;
      return S_OK;
    case OpenVariant::Plain:
    case OpenVariant::InitSequence:
      return S_OK;
  }
  return S_OK;
}

// The kernel driver keeps the interface selection across opens: state 0 means not yet.
HRESULT CmosHelper::selectInterfaceOnce() {
  if (!device_.kernelDriver()) return S_OK;
  const auto state = static_cast<int32_t>(device_.bGetDriverState());
  if (state < 0) return E_FAIL;
  if (state == 0) {
    device_.SetInterface(0);
    platform::HookedSleepMs(kInterfaceSettleMs);
    device_.bSetDriverState();
  }
  return S_OK;
}

// Single grabs read once; otherwise, on models that grab twice, a first frame is dropped, as after
// a sensor switch. A sensor window handed in is the frame's size; the blocks stay full rows.
int32_t CmosHelper::PLHlperGrabFrame(FrameDescriptor* frame, uint32_t width, uint32_t height,
                                     const SensorRect* window, platform::Event* stopEvent,
                                     bool singleTry) {
  ZX_TRACE("%s: enter", "PLHlperGrabFrame");
  uint32_t grabWidth = width, grabHeight = height;
  if (window && window->right > window->left && window->bottom > window->top)
    grabWidth = window->right - window->left, grabHeight = window->bottom - window->top;
  const uint64_t frameBytes64 =
      spec_.frameBytes(grabWidth, grabHeight, device_.usb3Link(), device_.revision());
  uint32_t grabs = singleTry ? 1 : spec_.grabTries;
  if (spec_.asksAltSensor) grabs = !singleTry && device_.bAltSensor() ? 2 : 1;
  const uint64_t block = spec_.block.blockBytes(width, height);
  int32_t result = -1;
  if (frame && frame->buffer && frameBytes64 <= rawFrameBytes && block <= device_.transferSize()) {
    const uint32_t timeout =
        device_.triggerMode ? kNoTimeout : spec_.exposureUs.max / 1000 + kGrabSlackMs;
    for (uint32_t tries = grabs; tries > 0; --tries) {
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
  if (sequencer_->speedMarksRoiPending()) return device_.markRoiPending(), S_OK;
  std::lock_guard<platform::RecursiveLock> hold(sensorLock());
  sequencer_->setSpeed(newSpeed, takeExposureNow());
  return S_OK;
}

// A changed setting at a reduced size (or at any size where the class says so): the defect list
// of the new mode, the sensor's read-out for it, and the exposure handed over again, all under
// the sensor lock so no program interleaves. S_FALSE when the sensor was left alone; a class
// without the skip option leaves it alone.
HRESULT CmosHelper::PLHlperSetSkip(uint32_t value) {
  std::lock_guard<platform::RecursiveLock> hold(sensorLock());
  if (!device_.offersSkip()) return S_FALSE;
  if ((value != 0) == (skip != 0)) return S_FALSE;
  skip = value;
  if (sequencer_->speedMarksRoiPending()) {
    // The window takes the new read-out at the grabber's region step, which picks the defect
    // list too and hands the exposure over.
    sequencer_->setSkip(value != 0);
    device_.markRoiPending();
    return S_OK;
  }
  if (!sequencer_->windowed() && resolutionIndex == 0 && !spec_.skipAtFullSize) return S_FALSE;
  RequestDefectList(*this);  // the grabber makes it current between frames
  if (sequencer_->windowed()) {
    sequencer_->switchMode(value != 0, speed, takeExposureNow());
    return S_OK;
  }
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

void CmosHelper::reapplyGain(uint16_t percent) {
  ExpoProcAGain(*this, percent, kForced);
}

bool CmosHelper::PLHlperHasFlag40() {
  return device_.usb3Link();
}
