// Option handlers kept by the camera object and its stream.
#include "core/option_stream.h"

#include "base/lumorix_flags.h"
#include "base/trace.h"
#include "core/base_impl.h"

namespace {

constexpr uint32_t kPriorityHighest = 2;
constexpr int32_t kFrameRateLimitMax = 63;
constexpr int32_t kDdrBuffered = 0, kDdrRealtime = 1, kDdrAuto = -1;
constexpr uint64_t kDdrModels = LUMORIX_FLAG_CCD_KIND2 | LUMORIX_FLAG_BIT3 | LUMORIX_FLAG_MONO;
constexpr int32_t kFrameDequeMin = 2, kFrameDequeMax = 1024;

int32_t asBit(bool on) {
  return on ? 1 : 0;
}

}  // namespace

HRESULT putNoFrameTimeoutOption(BaseImpl& camera, int32_t value) {
  camera.setNoFrameTimeoutOption(value != 0);  // the grabber takes it in its next loop
  return S_OK;
}

HRESULT getNoFrameTimeoutOption(BaseImpl& camera, int32_t* value) {
  *value = asBit(camera.noFrameTimeoutOption());
  return S_OK;
}

HRESULT putThreadPriorityOption(BaseImpl& camera, int32_t value) {
  if (value < 0 || uint32_t(value) > kPriorityHighest) return E_INVALIDARG;
  if (camera.threadPriority() == uint32_t(value)) return S_FALSE;
  camera.setThreadPriority(uint32_t(value));
  return S_OK;
}

HRESULT getThreadPriorityOption(BaseImpl& camera, int32_t* value) {
  *value = int32_t(camera.threadPriority());
  return S_OK;
}

HRESULT putModelHookOption(BaseImpl& camera, int32_t value) {
  return camera.OnOption3(value);
}

HRESULT getModelHookOption(BaseImpl& camera, int32_t* value) {
  return camera.OnOption3Get(value);
}

HRESULT putRawOption(BaseImpl& camera, int32_t value) {
  if (camera.started()) return E_UNEXPECTED;
  camera.setRawOption(value != 0);
  return S_OK;
}

HRESULT getRawOption(BaseImpl& camera, int32_t* value) {
  *value = asBit(camera.rawOption());
  return S_OK;
}

HRESULT putHistogramOption(BaseImpl& camera, int32_t value) {
  camera.setHistogramOption(value != 0);
  return S_OK;
}

HRESULT getHistogramOption(BaseImpl& camera, int32_t* value) {
  *value = asBit(camera.histogramOption());
  return S_OK;
}

HRESULT putFrameRateOption(BaseImpl& camera, int32_t value) {
  if (value < 0 || value > kFrameRateLimitMax) return E_INVALIDARG;
  camera.frameRate().setLimit(uint32_t(value));
  return S_OK;
}

HRESULT getFrameRateOption(BaseImpl& camera, int32_t* value) {
  *value = int32_t(camera.frameRate().limit());
  return S_OK;
}

HRESULT putDdrModeOption(BaseImpl& camera, int32_t value) {
  if ((camera.modelFlags() & kDdrModels) == 0) return E_NOTIMPL;
  if (value != kDdrBuffered && value != kDdrRealtime && value != kDdrAuto) return E_INVALIDARG;
  if (camera.ddrMode() == value) return S_FALSE;
  camera.setDdrMode(value);
  camera.DdrRealtime();
  return S_OK;
}

HRESULT getDdrModeOption(BaseImpl& camera, int32_t* value) {
  *value = camera.ddrMode();
  return S_OK;
}

HRESULT putCallbackThreadOption(BaseImpl& camera, int32_t value) {
  ZX_TRACE("CALLBACK_THREAD: %d", value);
  if (camera.started()) return E_UNEXPECTED;
  camera.setCallbackThreadOption(value != 0);
  return S_OK;
}

HRESULT getCallbackThreadOption(BaseImpl& camera, int32_t* value) {
  *value = asBit(camera.callbackThreadOption());
  return S_OK;
}

HRESULT putFrameDequeLengthOption(BaseImpl& camera, int32_t value) {
  ZX_TRACE("FRAME_DEQUE_LENGTH: %d", value);
  if (value < kFrameDequeMin || value > kFrameDequeMax) return E_INVALIDARG;
  if (camera.started()) return E_UNEXPECTED;
  camera.setFrameDequeLength(uint32_t(value));
  return S_OK;
}

HRESULT getFrameDequeLengthOption(BaseImpl& camera, int32_t* value) {
  *value = int32_t(camera.frameDequeLength());
  return S_OK;
}
