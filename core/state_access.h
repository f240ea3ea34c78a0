// How the property bodies reach the pipeline state: the active state under its settings lock.
#pragma once

#include <mutex>
#include <utility>

#include "pipeline/pl_helper_base.h"
#include "platform/com_types.h"

namespace state_access {

using Lock = std::lock_guard<platform::RecursiveLock>;

// Runs f on the active state (the 8-bit one when both exist); false without a helper or state.
template <class F>
bool withContext(PLHlperBase* helper, F&& f) {
  return helper != nullptr && WithState(*helper, std::forward<F>(f));
}

// Runs f on the active state under its settings lock; noContext when there is none.
template <class F>
HRESULT writeSetting(PLHlperBase* helper, HRESULT noContext, F&& f) {
  const bool found = withContext(helper, [&](auto& c) {
    Lock hold(*c.mtxSettings);
    f(c);
  });
  return found ? S_OK : noContext;
}

// One value read under the settings lock into out; noContext (out untouched) when there is none.
template <class T, class Read>
HRESULT readSetting(PLHlperBase* helper, T* out, HRESULT noContext, Read&& read) {
  if (out == nullptr) return E_POINTER;
  return writeSetting(helper, noContext, [&](auto& c) { *out = static_cast<T>(read(c)); });
}

// As readSetting, but without a state out gets the neutral value.
template <class T, class Read>
HRESULT readSettingOr(PLHlperBase* helper, T* out, T neutral, HRESULT noContext, Read&& read) {
  const HRESULT hr = readSetting(helper, out, noContext, std::forward<Read>(read));
  if (hr == noContext && out != nullptr) *out = neutral;
  return hr;
}

}  // namespace state_access
