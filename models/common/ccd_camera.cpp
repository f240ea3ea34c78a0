// One CCD camera object: construction order and the class's camera operations.
#include "models/common/ccd_camera.h"

#include <mutex>
#include <optional>

#include "models/common/ccd_exposure.h"
#include "pipeline/exposure_notice.h"
#include "pipeline/pl_start.h"
#include "platform/wait_hook.h"

namespace {
constexpr uint32_t kProgramSettleMs = 50;
constexpr uint32_t kSensorStopReg = 0;
constexpr uint32_t kSensorStop = 3;
}  // namespace

CcdCamera::CcdCamera(const CcdSpec& spec, const WCHAR16* deviceId, const WCHAR16* settingsRoot,
                     uint8_t flagA, uint8_t flagB, const ModelInfo* model)
    : ModelCamera(spec.model, settingsRoot, flagA, flagB, model), ccd_(spec) {
  try {
    device_ = std::make_unique<CcdDevice>(spec, model, deviceId);
    PLHlperArgs args = helperArgs(spec.model, *this, flagA, flagB);
    // The first generation's larger sensors keep an exposure per resolution.
    args.perResolutionExposure = !spec.second && spec.size != CcdSize::Mp14 ? 1 : 0;
    helper_ = std::make_unique<CcdHelper>(args, spec, *device_);
    adoptHelper(*helper_);
    joinParts(*device_, *helper_);
  } catch (...) {
    forgetSettings();  // never a camera: nothing of it is persisted
    throw;
  }
}

CcdCamera::~CcdCamera() {
  retire();
}

bool CcdCamera::valid() const {
  return ModelCamera::valid() && device_ && helper_;
}

// The first generation hands the pipeline the range of its register form and mode.
HRESULT CcdCamera::OpenCamera(uint32_t previewIndex) {
  if (previewIndex >= previewCount()) return E_INVALIDARG;
  device_->setMode(previewIndex);
  const bool longForm = helper_->requery();
  const ResolutionEntry& size = previews_[previewIndex];
  const CcdMode& mode = device_->modeSpec(previewIndex);
  std::optional<ExposureRange> record;
  if (!ccd_.second && ccd_.size != CcdSize::Mp14 && !(ccd_.size == CcdSize::Mp31 && longForm)) {
    const ValueRange r = ccd::exposureRange(ccd_, longForm, previewIndex);
    record = ExposureRange{r.min, r.max, r.def};
  }
  // The state is rebuilt outside the sensor lock: rebuilding joins its workers.
  InitPipeLineStep1(*helper_, previewIndex, size.width, size.height, record ? &*record : nullptr,
                    mode.rawWidth, mode.rawHeight);
  std::lock_guard<platform::RecursiveLock> hold(helper_->sensorLock());
  const HRESULT hr = helper_->loadMode(previewIndex);
  if (FAILED(hr)) return hr;
  platform::HookedSleepMs(kProgramSettleMs);
  return device_->bSystemInit(usb::kDeviceOpen);
}

// Closed under the sensor lock: a range query on a page's thread may open the device meanwhile.
void CcdCamera::StopSensor() {
  std::lock_guard<platform::RecursiveLock> hold(helper_->sensorLock());
  (void)device_->bWritePackedEx(kSensorStopReg, kSensorStop);
  device_->bFiniUSB();
}

// A still (the full frame, or any on the second generation) is programmed from the preview's
// exposure; every other switch runs the mode's program with the state's exposure and gain, so a
// full-frame preview comes back from its still as it was.
void CcdCamera::SetResolution(uint32_t index, bool still) {
  if (index >= previewCount() || ccd_.modes.size() < 2) return;
  const ExposureNoticeDeferral notice(*helper_);  // the preview's hand-over, after the locks
  std::shared_lock<PLStateLock> state(helper_->stateLock());  // before the sensor lock
  if (still && (ccd_.second || index == 0))
    helper_->programStill(index);
  else
    helper_->restartMode(index);
}

HRESULT STDMETHODCALLTYPE CcdCamera::get_ExpTimeRange(uint32_t* minimum, uint32_t* maximum,
                                                      uint32_t* defaultValue) {
  const bool longForm = helper_->requery();
  const uint32_t index = previewIndex();
  if (!ccd_.second && ccd_.size != CcdSize::Mp14 && index >= ccd_.modes.size()) return E_INVALIDARG;
  const ValueRange r = ccd::exposureRange(ccd_, longForm, index);
  if (minimum) *minimum = r.min;
  if (maximum) *maximum = r.max;
  if (defaultValue) *defaultValue = r.def;
  return S_OK;
}
