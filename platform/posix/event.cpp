// POSIX events: one process-wide mutex and condition variable make multi-event waits simple and
// exact.
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/event.h"

namespace platform {
namespace {

// Never destroyed: a detached thread may still set an event while the process exits.
std::mutex& eventMutex() {
  static auto* m = new std::mutex;
  return *m;
}
std::condition_variable& eventCond() {
  static auto* c = new std::condition_variable;
  return *c;
}

}  // namespace

Event::Event(Kind kind, bool initiallySet) : kind_(kind), signalled_(initiallySet) {}

Event::~Event() = default;

Event::Event(Event&& other) noexcept {
  std::lock_guard<std::mutex> lock(eventMutex());
  kind_ = other.kind_;
  signalled_ = other.signalled_;
  valid_ = other.valid_;
  other.valid_ = false;
}

Event& Event::operator=(Event&& other) noexcept {
  if (this != &other) {
    std::lock_guard<std::mutex> lock(eventMutex());
    kind_ = other.kind_;
    signalled_ = other.signalled_;
    valid_ = other.valid_;
    other.valid_ = false;
  }
  return *this;
}

bool Event::valid() const {
  return valid_;
}

void Event::set() {
  {
    std::lock_guard<std::mutex> lock(eventMutex());
    signalled_ = true;
  }
  eventCond().notify_all();
}

void Event::reset() {
  std::lock_guard<std::mutex> lock(eventMutex());
  signalled_ = false;
}

bool Event::wait(uint32_t timeoutMs) {
  Event* self = this;
  return WaitAny(std::span<Event* const>(&self, 1), timeoutMs).signalled();
}

WaitResult WaitAny(std::span<Event* const> events, uint32_t timeoutMs) {
  if (events.empty() || events.size() > kMaxWaitObjects) return {WaitStatus::Failed, 0};
  for (Event* e : events)
    if (!e || !e->valid_) return {WaitStatus::Failed, 0};
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  std::unique_lock<std::mutex> lock(eventMutex());
  for (;;) {
    for (uint32_t i = 0; i < events.size(); ++i) {
      Event* e = events[i];
      if (!e->signalled_) continue;
      if (e->kind_ == Event::Kind::AutoReset) e->signalled_ = false;
      return {WaitStatus::Signalled, i};
    }
    if (timeoutMs == 0) return {WaitStatus::Timeout, 0};
    if (timeoutMs == kInfinite) {
      eventCond().wait(lock);
    } else if (eventCond().wait_until(lock, deadline) == std::cv_status::timeout) {
      // One last look: a Set may have raced with the deadline.
      for (uint32_t i = 0; i < events.size(); ++i) {
        if (!events[i]->signalled_) continue;
        if (events[i]->kind_ == Event::Kind::AutoReset) events[i]->signalled_ = false;
        return {WaitStatus::Signalled, i};
      }
      return {WaitStatus::Timeout, 0};
    }
  }
}

}  // namespace platform
