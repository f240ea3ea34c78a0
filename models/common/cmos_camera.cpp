// One CMOS camera object: construction order and the model's camera operations.
#include "models/common/cmos_camera.h"

#include <mutex>

#include "models/catalogue_table.h"
#include "core/camera_buffer_impl.h"
#include "base/lumorix_flags.h"
#include "pipeline/exposure_notice.h"
#include "pipeline/pl_start.h"

CmosCamera::CmosCamera(const ModelSpec& spec, const WCHAR16* deviceId, const WCHAR16* settingsRoot,
                       uint8_t flagA, uint8_t flagB, const ModelInfo* model)
    : ModelCamera(spec, settingsRoot, flagA, flagB, model) {
  try {
    buildParts(deviceId, flagA, flagB, model);
  } catch (...) {
    forgetSettings();  // never a camera: nothing of it is persisted
    throw;
  }
}

// The parts in the order they depend on each other; the helper's settings come after its
// defaults, the state after the settings, the raw table after the state.
void CmosCamera::buildParts(const WCHAR16* deviceId, uint8_t flagA, uint8_t flagB,
                            const ModelInfo* model) {
  device_ =
      std::make_unique<CmosDevice>(spec_, model, deviceId, static_cast<SensorResetHandler&>(*this));
  helper_ = std::make_unique<CmosHelper>(helperArgs(spec_, *this, flagA, flagB), spec_, *device_);
  adoptHelper(*helper_);
  writer_ = std::make_unique<CmosSensorWriter>(*device_);
  program_ = std::make_unique<RegisterProgram>(*writer_, helper_->sensorLock());
  sequencer_ = std::make_unique<SensorSequencer>(*program_, spec_, device_->usb3Link());
  helper_->attach(*sequencer_);
  sequencer_->attachHandOver(*helper_);
  if (sequencer_->windowed()) device_->attachWindows(static_cast<SensorWindowHandler&>(*this));
  joinParts(*device_, *helper_);
}

CmosCamera::~CmosCamera() {
  retire();
}

bool CmosCamera::valid() const {
  return ModelCamera::valid() && device_ && helper_ && sequencer_;
}

HRESULT CmosCamera::OpenCamera(uint32_t previewIndex) {
  if (previewIndex >= previewCount()) return E_INVALIDARG;
  const ExposureNoticeDeferral notice(*helper_);  // the speed's exposure notice, after the locks
  const ResolutionEntry& size = previews_[previewIndex];
  // The state is rebuilt outside the sensor lock: rebuilding joins its workers.
  InitPipeLineStep1(*helper_, previewIndex, size.width, size.height, nullptr, 0, 0);
  installOwnResponse();
  {
    std::lock_guard<platform::RecursiveLock> hold(helper_->sensorLock());
    sequencer_->identify(device_->productId(), device_->revision());
    if (spec_.asksAltSensor) sequencer_->setAlternative(device_->bAltSensor());
    sequencer_->setSkip(helper_->skip != 0);
    const HRESULT hr = sequencer_->open(previewIndex, helper_->speed, helper_->takeExposureNow());
    if (FAILED(hr) || !sequencer_->windowed()) return hr;
  }
  // The region's window, programmed now (its event outside the sensor lock), or else the open
  // programmed the resolution's and the start marks a requested region for the first grab.
  if (sequencer_->windowedAtOpen()) device_->EzWriteRoi(0, 0);
  return S_OK;
}

SensorRect CmosCamera::alignWindow(const SensorRect& region) {
  return sequencer_->alignWindow(region);
}

// Called with the aligned window by the open and the grabber's region step; the exposure's
// notice follows the sensor lock's release.
void CmosCamera::programWindow(const SensorRect& window) {
  const ExposureNoticeDeferral notice(*helper_);
  std::lock_guard<platform::RecursiveLock> hold(helper_->sensorLock());
  SelectDefectList(*helper_);
  sequencer_->programRegion(window, helper_->speed, helper_->takeExposureNow());
}

// Models without still sizes keep the size they opened at.
void CmosCamera::SetResolution(uint32_t index, bool still) {
  if (index >= previewCount() || !spec_.row() || spec_.row()->model.stillCount == 0) return;
  const ExposureNoticeDeferral notice(*helper_);
  std::shared_lock<PLStateLock> state(helper_->stateLock());  // before the sensor lock
  std::lock_guard<platform::RecursiveLock> hold(helper_->sensorLock());
  if (index == sequencer_->state().resIndex) return;
  // A still keeps the video's exposure at the slow clock, when a state says what it is.
  std::optional<uint32_t> exposure;
  uint32_t t = 0;
  if (!still)
    exposure = helper_->takeExposureNow();
  else if (!helper_->hasHighBitState() && PL_CurrentExposureTime(*helper_, &t))
    exposure = t;
  sequencer_->switchResolution(index, still, helper_->speed, exposure);
  // Back to preview the region's window is programmed again, whatever the still left.
  if (!still && sequencer_->windowed()) device_->markRoiPending();
}

// Closed under the sensor lock: a host's device request on another thread holds it while it
// uses the handle, and an open takes it too. A raw pipe transfer holds the transport's count
// instead, which the close aborts and waits out.
void CmosCamera::StopSensor() {
  std::lock_guard<platform::RecursiveLock> hold(helper_->sensorLock());
  if (spec_.haltsBeforeStop) device_->bSystemInit(0);
  sequencer_->stop();
  device_->bFiniUSB();
}

// After the device lost its programming: start-up, speed with exposure and the gain; no window.
// Whether the device is open is asked under the lock it is closed under.
void CmosCamera::onSensorReset() {
  const ExposureNoticeDeferral notice(*helper_);
  std::lock_guard<platform::RecursiveLock> hold(helper_->sensorLock());
  if (!device_->isOpen()) return;
  device_->ResetPort();
  (void)sequencer_->reinitialise(helper_->speed, helper_->takeExposureNow(), helper_->gainNow());
  if (sequencer_->windowed()) device_->markRoiPending();
}

bool CmosCamera::ownResponse() const {
  return spec_.ownMatrixId != 0 && device_->productId() == spec_.ownMatrixId;
}

void CmosCamera::GetColorMatrix(double matrix[9]) {
  const auto& m = ownResponse() ? spec_.ownMatrix : spec_.colourMatrix;
  if (matrix) std::copy(m.begin(), m.end(), matrix);
}

// Boards with their own response are balanced with unity base gains.
void CmosCamera::GetWbGainBase(uint32_t gains[3]) {
  constexpr std::array<uint16_t, 3> kUnity{256, 256, 256};
  const auto& g = ownResponse() ? kUnity : spec_.wbBase;
  if (gains) std::copy(g.begin(), g.end(), gains);
}

// The board's own response replaces the class's in the pipeline before the first frame.
void CmosCamera::installOwnResponse() {
  if (!ownResponse()) return;
  helper_->colourMatrix = spec_.ownMatrix;
  PL_SetColorMatrix(*helper_);
  for (size_t i = 0; i < 3; ++i) helper_->wbGainBase[i] = helper_->wbGainBase2[i] = 256;
  PL_SetWbGainBase(*helper_);
}

// The offset keeps the 800 x 600 window inside the 1600 x 1200 frame.
HRESULT CmosCamera::put_ModelWindow(int32_t on, int32_t x, int32_t y) {
  if (!spec_.hasModelWindow) return BaseImpl::put_ModelWindow(on, x, y);
  constexpr int32_t kMaxX = 800, kMaxY = 600;
  sequencer_->setModelWindow(ModelWindow{on != 0, static_cast<uint32_t>(std::clamp(x, 0, kMaxX)),
                                         static_cast<uint32_t>(std::clamp(y, 0, kMaxY))});
  return S_OK;
}

HRESULT CmosCamera::get_ModelWindow(uint32_t* on, uint32_t* x, uint32_t* y) {
  if (!spec_.hasModelWindow) return BaseImpl::get_ModelWindow(on, x, y);
  const ModelWindow window = sequencer_->modelWindow();
  if (on) *on = window.on ? 1 : 0;
  if (x) *x = window.x;
  if (y) *y = window.y;
  return S_OK;
}
