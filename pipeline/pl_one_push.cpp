// One-push white and black balance requests: the completion hook installed and the measure
// asked of the next frame, in one step under the settings lock.
#include "pipeline/pl_one_push.h"

#include <mutex>

#include "base/trace.h"

namespace {

using Lock = std::lock_guard<platform::RecursiveLock>;

// Installs the hook and raises the request together, so a frame that takes the request also
// finds the hook.
template <typename F>
HRESULT request(PLHlperBase& h, const char* who, const F& install) {
  ZX_TRACE("%s", who);
  const bool found = WithState(h, [&](auto& c) {
    Lock hold(*c.mtxSettings);
    install(c);
  });
  return found ? S_OK : E_UNEXPECTED;
}

// The two white-balance requests differ only in the hook slot they fill; mono states ignore both.
template <auto Hook, auto Context, typename H>
HRESULT whiteRequest(PLHlperBase& h, const char* who, H hook, void* context) {
  return request(h, who, [&](auto& c) {
    if (!c.isColour) return;
    c.callbacks.*Hook = hook;
    c.callbacks.*Context = context;
    c.awbRequest = 1;
  });
}

}  // namespace

HRESULT PL_AwbOnePush(PLHlperBase& h, WbTempTintHook hook, void* context) {
  return whiteRequest<&PLHostCallbacks::onWbTempTint, &PLHostCallbacks::onWbTempTintContext>(
      h, "PL_AwbOnePush", hook, context);
}

HRESULT PL_AwbInit(PLHlperBase& h, WbRgbHook hook, void* context) {
  return whiteRequest<&PLHostCallbacks::onWbRgb, &PLHostCallbacks::onWbRgbContext>(h, "PL_AwbInit",
                                                                                   hook, context);
}

HRESULT PL_AbbOnePush(PLHlperBase& h, BlackHook hook, void* context) {
  return request(h, "PL_AbbOnePush", [&](auto& c) {
    c.callbacks.onBlackBalance = hook;
    c.callbacks.onBlackBalanceContext = context;
    c.abbRequest = 1;
  });
}
