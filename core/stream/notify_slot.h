// A host notification callback and its context, set and read as one pair.
#pragma once

#include <cstdint>
#include <vector>

#include "core/lumorix.h"
#include "platform/event.h"
#include "platform/lock.h"

// The pair is called outside the lock. A set returns once no call of an earlier pair runs on
// another thread, so a host may free the old context right after clearing it; a set made from
// inside the callback does not wait for its own call.
class NotifySlot {
 public:
  NotifySlot() = default;
  NotifySlot(const NotifySlot&) = delete;
  NotifySlot& operator=(const NotifySlot&) = delete;

  // Stores the pair (a null callback clears it) and waits for the earlier pair's calls elsewhere.
  void set(LumorixNotifyCallback callback, void* context);
  // Clears the pair without waiting: for the camera's own threads of control, never a host's.
  void drop();
  // Calls the pair when one is set.
  void call();

 private:
  struct Caller {
    uint32_t threadId;
    uint64_t generation;  // of the pair it called
  };
  bool earlierCallElsewhere(uint64_t generation, uint32_t self) const;  // under lock_

  static constexpr uint32_t kWaitSliceMs = 5;  // a second waiter may miss the auto-reset wake

  platform::Mutex lock_;
  LumorixNotifyCallback callback_ = nullptr;
  void* context_ = nullptr;
  uint64_t generation_ = 0;
  std::vector<Caller> callers_;  // every call running now
  platform::Event callEnded_{platform::Event::Kind::AutoReset};
};
