// Relays the first of two events to one manual-reset event on a short-lived thread.
#include "core/stream/either_event.h"

EitherEvent::EitherEvent(platform::Event* first, platform::Event& second) {
  if (first == nullptr) {
    event_ = &second;
    return;
  }
  if (thread_.start([this, first, &second] { relay(first, second); })) event_ = &fired_;
}

EitherEvent::~EitherEvent() {
  done_.set();
  // The relay runs no callback and ends on done_: a bounded join, no edge in the wait table.
  thread_.join();
}

void EitherEvent::relay(platform::Event* first, platform::Event& second) {
  const platform::WaitResult waited =
      platform::WaitAny({first, &second, &done_}, platform::kInfinite);
  if (!waited.signalled() || waited.index == 2) return;
  if (waited.index == 0) first->set();  // an auto-reset event was consumed; its owner waits too
  fired_.set();
}
