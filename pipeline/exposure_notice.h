// The exposure-changed notice: raised with no sensor lock held, held back while a core lock is.
#pragma once

#include "pipeline/pl_helper_base.h"

// Calls the helper's exposure-changed hook, or marks it due while this thread defers it.
void RaiseExposureChanged(PLHlperBase& helper);

// While alive, this thread's notices for the helper are held back; one is raised, when any was
// due, as its scope ends. A caller holding the control lock declares it before the lock, so the
// user's callback runs after the lock is released.
// The notice is raised only by a scope that ends normally, and the raise may throw: a callback
// that deleted the camera on one of its threads leaves through here to the thread's entry, as it
// does from any other callback. A scope left by an exception raises nothing (the camera may be
// gone).
class ExposureNoticeDeferral {
 public:
  explicit ExposureNoticeDeferral(PLHlperBase& helper);
  ~ExposureNoticeDeferral() noexcept(false);
  ExposureNoticeDeferral(const ExposureNoticeDeferral&) = delete;
  ExposureNoticeDeferral& operator=(const ExposureNoticeDeferral&) = delete;

  // True when a deferral on this thread took the notice.
  static bool Defer(PLHlperBase& helper);

 private:
  PLHlperBase& helper_;
  ExposureNoticeDeferral* outer_;
  const int unwinding_;  // exceptions in flight as the scope began
  bool due_ = false;
};
