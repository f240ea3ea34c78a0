// One-push white and black balance on the camera interface: the checks, the user's callback, and
// the request with the hook that raises the camera's event.
#include "core/base_impl.h"
#include "core/lumorix_impl_callback.h"
#include "pipeline/pl_one_push.h"

namespace {

constexpr int32_t kOnePushDone = 0;

void temperatureDone(int32_t temp, int32_t tint, void* sink) {
  static_cast<LumorixImplCallback*>(sink)->OnWhiteBalanceDone(temp, tint);
}
void rgbDone(const int32_t*, void* sink) {
  static_cast<LumorixImplCallback*>(sink)->OnAwbInitDone(kOnePushDone);
}
void blackDone(const uint16_t*, void* sink) {
  static_cast<LumorixImplCallback*>(sink)->OnBlackBalanceDone(kOnePushDone);
}

}  // namespace

HRESULT STDMETHODCALLTYPE BaseImpl::AwbInit(LumorixResultCallback callback, void* context) {
  if (!started() || helper_ == nullptr) return E_UNEXPECTED;
  if (isMono()) return E_NOTIMPL;
  awbInitNotify_.set(callback, context);
  if (helper_->wbTempTint) return E_NOTIMPL;
  return PL_AwbInit(*helper_, &rgbDone, static_cast<LumorixImplCallback*>(this));
}

HRESULT STDMETHODCALLTYPE BaseImpl::AwbOnePush(LumorixTempTintCallback callback, void* context) {
  if (isMono()) return E_NOTIMPL;
  if (!started() || helper_ == nullptr) return E_UNEXPECTED;
  whiteBalanceNotify_.set(callback, context);
  if (!helper_->wbTempTint) return E_NOTIMPL;
  return PL_AwbOnePush(*helper_, &temperatureDone, static_cast<LumorixImplCallback*>(this));
}

HRESULT STDMETHODCALLTYPE BaseImpl::AbbOnePush(LumorixResultCallback callback, void* context) {
  if (!started() || helper_ == nullptr) return E_UNEXPECTED;
  blackBalanceNotify_.set(callback, context);
  return PL_AbbOnePush(*helper_, &blackDone, static_cast<LumorixImplCallback*>(this));
}
