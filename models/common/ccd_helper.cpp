// The pipeline helper of a CCD camera.
#include "models/common/ccd_helper.h"

#include <mutex>

#include "base/trace.h"
#include "models/common/ccd_exposure.h"
#include "models/common/fpga_loader.h"
#include "pipeline/frame_descriptor.h"
#include "pipeline/pl_frame_hooks.h"
#include "pipeline/pl_start.h"
#include "platform/wait_hook.h"

namespace {
constexpr uint32_t kSelectSettleMs = 30;
constexpr uint32_t kProgramSettleMs = 50;
constexpr uint32_t kGrabSlackMs = 3000;
constexpr uint32_t kNoTimeout = 0xFFFFFFFFu;
constexpr uint8_t kForced = 1;
}  // namespace

CcdHelper::CcdHelper(const PLHlperArgs& args, const CcdSpec& spec, CcdDevice& device)
    : DeviceHelper(args, spec.model, device), ccd_(spec), device_(device) {}

// Under the sensor lock, so a getter on a page's thread and a start never open twice; a failed
// open closes what it opened. The restore reads the EEPROM into the state: after the lock.
int32_t CcdHelper::PLHlperInit() {
  {
    std::lock_guard<platform::RecursiveLock> hold(sensorLock());
    if (device_.deviceOpened) return 1;
    const HRESULT hr = ccd_.open == CcdOpen::Plain ? device_.bInitUSB(true) : openWithDriverState();
    if (FAILED(hr)) {
      device_.bFiniUSB();
      return hr;
    }
    device_.deviceOpened = 1;
    programmed_ = false;
  }
  PostOpenRestore(*this);
  return 0;
}

HRESULT CcdHelper::openWithDriverState() {
  HRESULT hr = device_.bInitUSB(false);
  if (FAILED(hr)) return hr;
  if (device_.kernelDriver()) {
    const auto state = static_cast<int32_t>(device_.bGetDriverState());
    if (state < 0) return E_FAIL;
    if (state == 0) {
      device_.SetInterface(0);
      platform::HookedSleepMs(kSelectSettleMs);
      device_.bSetDriverState();
    }
  }
  for (uint8_t mode : {usb::kStreamStart, usb::kStreamStop, usb::kStreamStart}) {
    hr = device_.bSystemInit(mode);
    if (FAILED(hr)) return hr;
  }
  device_.queryWriteForm();
  return S_OK;
}

bool CcdHelper::requery() {
  std::lock_guard<platform::RecursiveLock> hold(sensorLock());
  if (ccd_.open == CcdOpen::DriverStateRequery && PLHlperInit() != 0 && device_.isOpen())
    device_.longFormWrites = device_.regWriteMode == 1;
  return device_.longFormWrites != 0;
}

uint16_t CcdHelper::clockSpeed() const {
  return programmed_ ? loadedSpeed_ : speed;
}

HRESULT CcdHelper::loadMode(uint32_t mode) {
  std::lock_guard<platform::RecursiveLock> hold(sensorLock());
  const CcdMode& m = device_.modeSpec(mode);
  const HRESULT hr = ccd_.second              ? ccd::loadSecondProgram(device_, m, speed)
                     : device_.longFormWrites ? ccd::loadProgram(device_, m.longForm, speed)
                                              : ccd::loadProgram(device_, m.shortForm, speed);
  loadedSpeed_ = speed, programmed_ = true;
  return hr;
}

void CcdHelper::restartMode(uint32_t mode) {
  std::lock_guard<platform::RecursiveLock> hold(sensorLock());
  (void)loadMode(mode);
  handOverExposure();
  if (const std::optional<uint16_t> gain = gainNow()) ExpoProcAGain(*this, *gain, kForced);
  platform::HookedSleepMs(kProgramSettleMs);
  (void)device_.bSystemInit(usb::kDeviceOpen);
}

void CcdHelper::programStill(uint32_t index) {
  std::lock_guard<platform::RecursiveLock> hold(sensorLock());
  (void)loadMode(index);
  uint32_t exposure = spec_.exposureUs.def;
  PL_CurrentExposureTime(*this, &exposure);
  uint16_t gain = gainDefault;
  PL_CurrentGain(*this, &gain);
  requery();
  const CcdStillPlan still = ccd::planStill(ccd_, device_.longFormWrites != 0, device_.mode(),
                                            index, clockSpeed(), exposure, gain);
  (void)writeExposure(still.exposure);
  const PackedWrite g = ccd::gainWrite(ccd_, device_.longFormWrites != 0, still.gainPercent);
  (void)device_.bWritePackedEx(g.reg, g.value);
  platform::HookedSleepMs(kProgramSettleMs);
  (void)device_.bSystemInit(usb::kDeviceOpen);
}

// The grab's width picks the layout; the assembler lives for this one grab.
int32_t CcdHelper::PLHlperGrabFrame(FrameDescriptor* frame, uint32_t width, uint32_t,
                                    const SensorRect*, platform::Event* stopEvent, bool) {
  ZX_TRACE("%s: enter", "PLHlperGrabFrame");
  const uint32_t mode = width == maxWidth ? 0 : 1;
  FieldAssembler fields(device_.modeSpec(mode).layout);
  int32_t result = -1;
  if (frame && frame->buffer && fields.frameBytes() <= rawFrameBytes) {
    const uint32_t timeout = device_.triggerMode ? kNoTimeout : timeMax / 1000 + kGrabSlackMs;
    const FieldLayout& l = fields.layout();
    result = device_.EzusbGrabFrame(frame->buffer, stopEvent, l.blockBytes,
                                    static_cast<uint32_t>(fields.frameBytes()), timeout, l.blocks,
                                    &fields);
  }
  ZX_TRACE("%s: leave, %d", "PLHlperGrabFrame", result);
  return result;
}

// A first-generation camera takes a new clock only while closed, at its next start; open, it keeps
// the one it runs. A second-generation one runs its mode's program at the new clock now, so the
// exposure in lines stays right; unprogrammed, it hands the exposure over all the same (with no
// state that is the notice alone).
HRESULT CcdHelper::PLHlperSetSpeed(uint16_t, uint8_t) {
  if (device_.bDeferSpeed()) return device_.isOpen() ? S_FALSE : S_OK;
  if (device_.isOpen() && programmed_)
    restartMode(device_.mode());
  else
    ExpoProcTime(*this, kForced);
  return S_OK;
}

HRESULT CcdHelper::writeExposure(const CcdExposurePlan& plan) {
  HRESULT hr = S_OK;
  for (uint32_t i = 0; i < plan.count; ++i)
    hr = device_.bWritePackedEx(plan.writes[i].reg, plan.writes[i].value);
  if (plan.frameLines) ccd::latchFrameLines(device_, plan.frameLines);
  return hr;
}

HRESULT CcdHelper::PLHlperSetExpoTime(uint32_t us) {
  ZX_TRACE("%s: %u", "PLHlperSetExpoTime", us);
  std::lock_guard<platform::RecursiveLock> hold(sensorLock());
  requery();
  const HRESULT hr = writeExposure(
      ccd::planExposure(ccd_, device_.longFormWrites != 0, device_.mode(), clockSpeed(), us));
  return ccd_.second ? S_OK : hr;
}

HRESULT CcdHelper::PLHlperSetExpoAGain(uint16_t percent) {
  ZX_TRACE("%s: %hu", "PLHlperSetExpoAGain", percent);
  const PackedWrite g = ccd::gainWrite(ccd_, device_.longFormWrites != 0, percent);
  return device_.bWritePackedEx(g.reg, g.value);
}
