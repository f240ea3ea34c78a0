// The exposure-changed notice: raised with no sensor lock held, held back while a core lock is.
#pragma once

#include "pipeline/pl_helper_base.h"

// Calls the helper's exposure-changed hook, or marks it due while this thread defers it.
void RaiseExposureChanged(PLHlperBase& helper);

// While alive, this thread's notices for the helper are held back; one is raised, when any was
// due, as it ends. A caller holding the control lock declares it before the lock, so the user's
// callback runs after the lock is released.
class ExposureNoticeDeferral {
 public:
  explicit ExposureNoticeDeferral(PLHlperBase& helper);
  ~ExposureNoticeDeferral();
  ExposureNoticeDeferral(const ExposureNoticeDeferral&) = delete;
  ExposureNoticeDeferral& operator=(const ExposureNoticeDeferral&) = delete;

  // True when a deferral on this thread took the notice.
  static bool Defer(PLHlperBase& helper);

 private:
  PLHlperBase& helper_;
  ExposureNoticeDeferral* outer_;
  bool due_ = false;
};
