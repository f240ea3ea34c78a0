// The camera object's parts an option handler reaches beyond the public interface.
#pragma once

#include "core/base_impl.h"

struct OptionAccess {
  static CUsb* transport(const BaseImpl& camera) { return camera.transport(); }
  static PLHlperBase* helper(const BaseImpl& camera) { return camera.helper(); }
  static StreamPipeline* pipeline(const BaseImpl& camera) { return camera.streamPipeline(); }
  static std::unique_lock<platform::RecursiveLock> deviceLock(BaseImpl& camera) {
    return camera.deviceLock();
  }
};
