// The camera's control lock, with the exposure notices raised under it held back until it is free.
#pragma once

#include <mutex>
#include <optional>

#include "pipeline/exposure_notice.h"
#include "platform/lock.h"

// A start, stop or restart may reprogram the exposure; the host's exposure callback then runs once
// the lock is released (members end in reverse order: the lock first, then the deferral), so a
// callback that starts, stops or restarts the camera does not wait for its own thread.
class ControlHold {
 public:
  ControlHold(platform::Mutex& lock, PLHlperBase* helper) {
    if (helper) notice_.emplace(*helper);
    lock_ = std::unique_lock<platform::Mutex>(lock);
  }

 private:
  std::optional<ExposureNoticeDeferral> notice_;
  std::unique_lock<platform::Mutex> lock_;
};
