// The threads now waiting in a callback slot's set, of any slot, each with its own wake.
#pragma once

#include <cstdint>

#include "platform/event.h"

// Process-wide, so a set can tell a call it must wait for from one whose thread waits in turn:
// two such threads may be waiting for each other. Its lock is taken under a slot's, never the
// other way round.
class SetWaiters {
 public:
  // Marks a thread as waiting in a set for the scope's life; every other waiter is woken to look
  // again when it begins and when it ends.
  class Scope {
   public:
    Scope(uint32_t threadId, platform::Event& wake);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    uint32_t threadId_;
  };

  static bool waiting(uint32_t threadId);
  // Wakes every waiter to look again: a call has ended.
  static void wakeAll();
};
