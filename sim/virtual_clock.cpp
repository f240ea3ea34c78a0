// VirtualClock: waits check their events, then run the next device action or jump to their
// deadline.
#include "sim/virtual_clock.h"

#include <atomic>

#include "platform/clock.h"

namespace sim {
namespace {
std::atomic<VirtualClock*> installed{nullptr};
uint32_t virtualTick() {
  VirtualClock* clock = installed.load();
  return clock ? static_cast<uint32_t>(clock->now()) : 0;
}
constexpr uint32_t kRealSliceMs = 10;
}  // namespace

VirtualClock::VirtualClock(uint64_t startMs) : now_(startMs) {
  installed.store(this);
  platform::SetTickSource(virtualTick);
  platform::SetWaitHook(this);
}

VirtualClock::~VirtualClock() {
  platform::SetWaitHook(nullptr);
  platform::SetTickSource(nullptr);
  installed.store(nullptr);
}

uint64_t VirtualClock::now() {
  std::lock_guard<std::mutex> hold(lock_);
  return now_;
}

void VirtualClock::at(uint64_t timeMs, const void* owner, std::function<void()> action) {
  std::lock_guard<std::mutex> hold(lock_);
  actions_.emplace(std::make_pair(timeMs, sequence_++), Action{owner, std::move(action)});
}

void VirtualClock::cancel(const void* owner) {
  std::lock_guard<std::mutex> hold(lock_);
  std::erase_if(actions_, [owner](const auto& a) { return a.second.owner == owner; });
}

void VirtualClock::observeSleeps(std::function<void(uint32_t)> observer) {
  std::lock_guard<std::mutex> hold(lock_);
  sleepObserver_ = std::move(observer);
}

// Runs the earliest action due by `limit`, moving time forward to it; false when there is none.
bool VirtualClock::runNext(uint64_t limit) {
  std::function<void()> run;
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (actions_.empty() || actions_.begin()->first.first > limit) return false;
    auto first = actions_.begin();
    if (first->first.first > now_) now_ = first->first.first;
    run = std::move(first->second.run);
    actions_.erase(first);
  }
  run();
  return true;
}

platform::WaitResult VirtualClock::waitAny(std::span<platform::Event* const> events,
                                           uint32_t timeoutMs) {
  const uint64_t deadline = timeoutMs == platform::kInfinite ? UINT64_MAX : now() + timeoutMs;
  for (;;) {
    const platform::WaitResult r = platform::WaitAny(events, 0);
    if (r.status != platform::WaitStatus::Timeout) return r;
    if (runNext(deadline)) continue;
    if (deadline == UINT64_MAX) {
      // Nothing scheduled can end this wait; only another real thread can.
      const platform::WaitResult real = platform::WaitAny(events, kRealSliceMs);
      if (real.status != platform::WaitStatus::Timeout) return real;
      continue;
    }
    std::lock_guard<std::mutex> hold(lock_);
    if (now_ < deadline) now_ = deadline;
    return {platform::WaitStatus::Timeout, 0};
  }
}

void VirtualClock::advance(uint32_t ms) {
  const uint64_t target = now() + ms;
  while (runNext(target)) {
  }
  std::lock_guard<std::mutex> hold(lock_);
  if (now_ < target) now_ = target;
}

void VirtualClock::sleep(uint32_t ms) {
  std::function<void(uint32_t)> observer;
  {
    std::lock_guard<std::mutex> hold(lock_);
    observer = sleepObserver_;
  }
  if (observer) observer(ms);
  advance(ms);
}

}  // namespace sim
