// Factory helper: construct a model's camera object, check it, and delete it when it is unusable.
#pragma once

#include <new>
#include <utility>

#include "core/base_impl.h"
#include "base/trace.h"

// Null when construction throws or Camera::valid() is false (BaseImpl's check of its buffers and
// events, which a model extends with its transport). Nothing of a failed object survives, not
// even its settings: it was never a camera.
template <class Camera, class... Args>
BaseImpl* MakeCamera(Args&&... args) noexcept {
  Camera* camera = nullptr;
  try {
    camera = new Camera(std::forward<Args>(args)...);
  } catch (...) {
    ZX_TRACE_ERROR("%s: construction failed", "MakeCamera");
    return nullptr;
  }
  if (!camera->valid()) {
    ZX_TRACE_ERROR("%s: camera not usable", "MakeCamera");
    camera->dropSettingsKey();
    delete camera;
    return nullptr;
  }
  return camera;
}
