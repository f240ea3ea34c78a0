// Who waits for whom: the threads waiting in a callback slot's set, joining camera threads, or
// blocked on a camera's lock or its stream's holds.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "platform/event.h"

// Process-wide, so a set can tell a call it must wait for from one whose thread waits, directly
// or through other waiting threads, for the setting thread: waiting for that call would never
// end. An edge runs from a waiting thread to a thread it waits for: a set's to the thread of each
// earlier call it waits for, a join's to each thread it joins, a blocked locker's to each of the
// lock's holders (whoever holds it now; a shared lock has several). Every change of the edges, a
// call ending among them or a lock changing hands, wakes every set to look again.
// Lock order: a slot's lock, then the table's; the table calls nothing back under its own.
class WaitGraph {
 public:
  // A call of a slot's pair: its thread and its process-wide name.
  struct Call {
    uint32_t threadId;
    uint64_t id;
  };
  static uint64_t newCallId();
  // Under the slot's lock: the edges to the call go.
  static void callEnded(uint64_t callId);

  // A thread waiting in a set, woken by every change of the table while the object lives.
  class SetWait {
   public:
    SetWait(uint32_t self, platform::Event& wake);
    ~SetWait();
    SetWait(const SetWait&) = delete;
    SetWait& operator=(const SetWait&) = delete;
    // Under the slot's lock: waits for the calls whose thread does not reach this one, as this
    // thread's edges; true while any is left.
    bool waitsFor(const std::vector<Call>& calls);

   private:
    uint32_t self_;
  };

  // A thread joining others: its edges to them for the object's life, set before it blocks.
  class Join {
   public:
    Join(uint32_t self, std::initializer_list<uint32_t> threads);
    ~Join();
    Join(const Join&) = delete;
    Join& operator=(const Join&) = delete;

   private:
    uint32_t self_;
  };

  // A lock's holder and the threads blocked on it, as the table sees them. The holder is recorded
  // only once it holds the lock and forgotten before it lets go, so the table never names a
  // holder that has gone on: a stale edge could let a set skip a call that is about to run on.
  class Lock {
   public:
    // Before blocking: this thread waits for the holder, whoever that is, until taken().
    static void blocking(const void* lock, uint32_t self);
    // With the lock just taken: self holds it and waits no more.
    static void taken(const void* lock, uint32_t self);
    // Before the lock is let go: one hold of self's, or with no thread every hold of it.
    static void releasing(const void* lock, uint32_t self = 0);
    // A wait that ended without taking the lock (a wait for the holders to leave, or timed out).
    static void unblocked(const void* lock, uint32_t self);
  };
};
