// The threads now waiting in a callback slot's set, of any slot, each with its own wake.
#include "core/stream/set_waiters.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/lock.h"

namespace {

struct Waiter {
  uint32_t threadId;
  platform::Event* wake;  // the waiter's own, removed before it goes
};

struct Registry {
  platform::Mutex lock;
  std::vector<Waiter> waiters;  // one entry per waiting thread: a waiting thread sets nothing
};

// Never destroyed: a detached camera thread may still end a call while the process exits.
Registry& registry() {
  static auto* r = new Registry;
  return *r;
}

void wakeOthers(const Registry& r, uint32_t self) {
  for (const Waiter& w : r.waiters)
    if (w.threadId != self) w.wake->set();
}

}  // namespace

SetWaiters::Scope::Scope(uint32_t threadId, platform::Event& wake) : threadId_(threadId) {
  Registry& r = registry();
  std::lock_guard<platform::Mutex> hold(r.lock);
  r.waiters.push_back(Waiter{threadId, &wake});
  wakeOthers(r, threadId);
}

SetWaiters::Scope::~Scope() {
  Registry& r = registry();
  std::lock_guard<platform::Mutex> hold(r.lock);
  const auto it = std::find_if(r.waiters.begin(), r.waiters.end(),
                               [&](const Waiter& w) { return w.threadId == threadId_; });
  if (it != r.waiters.end()) r.waiters.erase(it);
  wakeOthers(r, threadId_);
}

bool SetWaiters::waiting(uint32_t threadId) {
  Registry& r = registry();
  std::lock_guard<platform::Mutex> hold(r.lock);
  return std::any_of(r.waiters.begin(), r.waiters.end(),
                     [&](const Waiter& w) { return w.threadId == threadId; });
}

void SetWaiters::wakeAll() {
  Registry& r = registry();
  std::lock_guard<platform::Mutex> hold(r.lock);
  for (const Waiter& w : r.waiters) w.wake->set();
}
