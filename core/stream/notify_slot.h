// A host callback and its context, set and read as one pair.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "core/lumorix.h"
#include "core/stream/own_thread_delete.h"
#include "core/stream/wait_graph.h"
#include "platform/lock.h"

// The bookkeeping of one slot, whatever the callback's signature. The pair is called outside the
// lock. A set returns once no call of an earlier pair runs on another thread, so a host may free
// the old context right after clearing it, except a call whose thread waits, directly or through
// other waiting threads, for the setting thread (in a set of any slot, or joining camera threads
// to stop): waiting for that call would never end.
class SlotCalls {
 public:
  SlotCalls() = default;
  SlotCalls(const SlotCalls&) = delete;
  SlotCalls& operator=(const SlotCalls&) = delete;

 protected:
  using Erased = void (*)();  // cast back to the slot's own type before any call
  // Stores the pair (a null callback clears it) and waits for the earlier pair's calls elsewhere.
  void store(Erased callback, void* context);
  // The same wait, keeping the pair: calls begun after it are not waited for.
  void awaitCalls();
  // Takes the pair and counts this thread's call; false when none is set.
  bool enter(Erased* callback, void** context);
  // Ends this thread's innermost call; touches nothing when the callback closed the camera.
  void leave();

 private:
  struct Caller {
    uint32_t threadId;
    uint64_t generation;  // of the pair it called
    uint64_t callId;      // its name in the wait table
  };
  // The calls of pairs before `generation` on threads other than self; under lock_.
  std::vector<WaitGraph::Call> earlierCalls(uint64_t generation, uint32_t self) const;
  // Starts a new generation and waits for the calls of earlier ones; hold owns lock_.
  void awaitEarlier(std::unique_lock<platform::Mutex>& hold);

  // Every change a wait looks for wakes it; the slice is only a backstop, long so that a missed
  // wake shows.
  static constexpr uint32_t kRecheckMs = 1000;

  // No call is made under it: a holder never waits in a set, so no edge in the wait table.
  platform::Mutex lock_;  // taken before the wait table's lock, never under it
  Erased callback_ = nullptr;
  void* context_ = nullptr;
  uint64_t generation_ = 0;
  std::vector<Caller> callers_;  // every call running now
};

// A slot for one callback type whose last parameter is the context.
template <typename Callback>
class CallbackSlot : public SlotCalls {
 public:
  void set(Callback callback, void* context) { store(reinterpret_cast<Erased>(callback), context); }
  using SlotCalls::awaitCalls;
  // Calls the pair with these leading arguments when one is set.
  template <typename... Args>
  void call(Args... args) {
    callReady([] {}, args...);
  }
  // The same, running ready() first once a pair is taken: work done only for the callback, never
  // skipped for a pair set just before the call.
  template <typename Ready, typename... Args>
  void callReady(Ready&& ready, Args... args) {
    if (!callHeld(ready, args...)) return;
    OwnThreadDelete::leaveIfDeleted();
  }
  // The same without leaving, false when no pair was set: for a caller that ends a deleting
  // thread's work itself (the pipeline's frame under its state's hold, an event's raise).
  template <typename Ready, typename... Args>
  bool callHeld(Ready&& ready, Args... args) {
    Erased callback;
    void* context;
    if (!enter(&callback, &context)) return false;
    ready();
    reinterpret_cast<Callback>(callback)(args..., context);
    leave();
    return true;
  }
};

using NotifySlot = CallbackSlot<LumorixNotifyCallback>;
