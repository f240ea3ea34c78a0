// RealTimeClock: one worker thread; cancel() waits out an action of its owner that is running.
#include "sim/real_time_clock.h"

#include <chrono>

namespace sim {
namespace {
uint64_t steadyMs() {
  using namespace std::chrono;
  return static_cast<uint64_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}
}  // namespace

RealTimeClock::RealTimeClock() : thread_([this] { loop(); }) {}

RealTimeClock::~RealTimeClock() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    quit_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

uint64_t RealTimeClock::now() {
  return steadyMs();
}

void RealTimeClock::at(uint64_t timeMs, const void* owner, std::function<void()> action) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    actions_.emplace(std::make_pair(timeMs, sequence_++), Action{owner, std::move(action)});
  }
  changed_.notify_all();
}

void RealTimeClock::cancel(const void* owner) {
  std::unique_lock<std::mutex> hold(lock_);
  std::erase_if(actions_, [owner](const auto& a) { return a.second.owner == owner; });
  changed_.wait(hold, [&] { return running_ != owner; });
}

void RealTimeClock::loop() {
  std::unique_lock<std::mutex> hold(lock_);
  while (!quit_) {
    if (actions_.empty()) {
      changed_.wait(hold);
      continue;
    }
    auto first = actions_.begin();
    const uint64_t due = first->first.first;
    if (due > steadyMs()) {
      changed_.wait_for(hold, std::chrono::milliseconds(due - steadyMs()));
      continue;
    }
    Action action = std::move(first->second);
    actions_.erase(first);
    running_ = action.owner;
    hold.unlock();
    action.run();
    hold.lock();
    running_ = nullptr;
    changed_.notify_all();
  }
}

}  // namespace sim
