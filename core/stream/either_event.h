// One event that fires when either of two does, for a grab that ends on a single stop event.
#pragma once

#include "platform/event.h"
#include "platform/thread.h"

class EitherEvent {
 public:
  // Without a first event the second is used as it is and nothing relays.
  EitherEvent(platform::Event* first, platform::Event& second);
  // Ends the relay: bounded by the owner's scope, not by either event.
  ~EitherEvent();
  EitherEvent(const EitherEvent&) = delete;
  EitherEvent& operator=(const EitherEvent&) = delete;

  // Null when the relay thread could not start.
  platform::Event* event() { return event_; }

 private:
  void relay(platform::Event* first, platform::Event& second);

  platform::Event fired_{platform::Event::Kind::ManualReset, false};
  platform::Event done_{platform::Event::Kind::ManualReset, false};
  platform::Thread thread_;
  platform::Event* event_ = nullptr;
};
