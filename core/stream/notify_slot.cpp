// A host callback and its context, set and read as one pair.
#include "core/stream/notify_slot.h"

#include <algorithm>
#include <iterator>
#include <mutex>

#include "platform/event.h"
#include "platform/thread.h"

void SlotCalls::store(Erased callback, void* context) {
  std::unique_lock<platform::Mutex> hold(lock_);
  callback_ = callback;
  context_ = callback ? context : nullptr;
  awaitEarlier(hold);
}

void SlotCalls::awaitCalls() {
  std::unique_lock<platform::Mutex> hold(lock_);
  awaitEarlier(hold);
}

void SlotCalls::awaitEarlier(std::unique_lock<platform::Mutex>& hold) {
  const uint32_t self = platform::currentThreadId();
  const uint64_t generation = ++generation_;
  if (earlierCalls(generation, self).empty()) return;
  // Declared before the wait, which holds its address: the wake outlives the registration.
  platform::Event wake(platform::Event::Kind::AutoReset);
  WaitGraph::SetWait waiting(self, wake);
  // The wake is sticky: a change between the look and the wait is not missed.
  while (waiting.waitsFor(earlierCalls(generation, self))) {
    hold.unlock();
    wake.wait(kRecheckMs);
    hold.lock();
  }
}

bool SlotCalls::enter(Erased* callback, void** context) {
  std::lock_guard<platform::Mutex> hold(lock_);
  if (!callback_) return false;
  *callback = callback_;
  *context = context_;
  callers_.push_back(Caller{platform::currentThreadId(), generation_, WaitGraph::newCallId()});
  return true;
}

void SlotCalls::leave() {
  // A callback that closed the camera took this slot with it.
  if (OwnThreadDelete::deletedHere()) return;
  // The innermost call of this thread ends first. Nothing is touched after the unlock: a waiting
  // set may return and its host free the camera at once.
  const uint32_t self = platform::currentThreadId();
  std::lock_guard<platform::Mutex> hold(lock_);
  const auto it = std::find_if(callers_.rbegin(), callers_.rend(),
                               [&](const Caller& c) { return c.threadId == self; });
  if (it == callers_.rend()) return;
  const uint64_t callId = it->callId;
  callers_.erase(std::next(it).base());
  WaitGraph::callEnded(callId);  // wakes the sets that waited for it
}

std::vector<WaitGraph::Call> SlotCalls::earlierCalls(uint64_t generation, uint32_t self) const {
  std::vector<WaitGraph::Call> calls;
  for (const Caller& c : callers_)
    if (c.generation < generation && c.threadId != self)
      calls.push_back(WaitGraph::Call{c.threadId, c.callId});
  return calls;
}
