// The exposure-changed notice and its per-thread deferral.
#include "pipeline/exposure_notice.h"

#include <exception>

namespace {
thread_local ExposureNoticeDeferral* tInnermost = nullptr;
}  // namespace

void RaiseExposureChanged(PLHlperBase& h) {
  if (ExposureNoticeDeferral::Defer(h)) return;
  const auto notify = h.onExposureChanged.load();
  if (notify) notify(h.onExposureChangedCtx.load());
}

ExposureNoticeDeferral::ExposureNoticeDeferral(PLHlperBase& helper)
    : helper_(helper), outer_(tInnermost), unwinding_(std::uncaught_exceptions()) {
  tInnermost = this;
}

// The chain is restored first: a raise that throws leaves this thread's chain as it found it.
ExposureNoticeDeferral::~ExposureNoticeDeferral() noexcept(false) {
  tInnermost = outer_;
  if (!due_ || std::uncaught_exceptions() != unwinding_) return;
  RaiseExposureChanged(helper_);  // an outer deferral of the same helper takes it
}

bool ExposureNoticeDeferral::Defer(PLHlperBase& helper) {
  for (ExposureNoticeDeferral* d = tInnermost; d; d = d->outer_)
    if (&d->helper_ == &helper) {
      d->due_ = true;
      return true;
    }
  return false;
}
