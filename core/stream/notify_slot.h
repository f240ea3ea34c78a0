// A host callback and its context, set and read as one pair.
#pragma once

#include <cstdint>
#include <vector>

#include "core/lumorix.h"
#include "platform/lock.h"

// The bookkeeping of one slot, whatever the callback's signature. The pair is called outside the
// lock. A set returns once no call of an earlier pair runs on another thread, so a host may free
// the old context right after clearing it. It waits for no call whose thread is itself waiting in
// a set, of this slot or any other: that thread may be waiting for this one's call, and two
// callbacks setting each other's slots, or clearing their own at once, would wait for ever.
class SlotCalls {
 public:
  SlotCalls() = default;
  SlotCalls(const SlotCalls&) = delete;
  SlotCalls& operator=(const SlotCalls&) = delete;

  // Clears the pair without waiting: for the camera's own threads of control, never a host's.
  void drop();

 protected:
  using Erased = void (*)();  // cast back to the slot's own type before any call
  // Stores the pair (a null callback clears it) and waits for the earlier pair's calls elsewhere.
  void store(Erased callback, void* context);
  // Takes the pair and counts this thread's call; false when none is set.
  bool enter(Erased* callback, void** context);
  // Ends this thread's innermost call; leaves the thread when the callback closed the camera.
  void leave();

 private:
  struct Caller {
    uint32_t threadId;
    uint64_t generation;  // of the pair it called
  };
  // An earlier pair's call on another thread that waits in no set; under lock_.
  bool callToWaitFor(uint64_t generation, uint32_t self) const;

  // Every change a wait looks for wakes it; the slice is only a backstop.
  static constexpr uint32_t kRecheckMs = 50;

  platform::Mutex lock_;
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
  // Calls the pair with these leading arguments when one is set.
  template <typename... Args>
  void call(Args... args) {
    callReady([] {}, args...);
  }
  // The same, running ready() first once a pair is taken: work done only for the callback, never
  // skipped for a pair set just before the call.
  template <typename Ready, typename... Args>
  void callReady(Ready&& ready, Args... args) {
    Erased callback;
    void* context;
    if (!enter(&callback, &context)) return;
    ready();
    reinterpret_cast<Callback>(callback)(args..., context);
    leave();
  }
};

using NotifySlot = CallbackSlot<LumorixNotifyCallback>;
