// A discrete-event clock behind the platform's tick, sleep and wait: idle time jumps to the next
// action.
#pragma once

#include <map>
#include <mutex>

#include "platform/wait_hook.h"
#include "sim/clock.h"

namespace sim {

// Installs itself as the process's tick and wait hook for its lifetime; one at a time. Actions
// run on the thread that waits or sleeps, so a test drives the device and the host in one thread.
class VirtualClock final : public Clock, public platform::WaitHook {
 public:
  explicit VirtualClock(uint64_t startMs = 1000);
  ~VirtualClock() override;

  uint64_t now() override;
  void at(uint64_t timeMs, const void* owner, std::function<void()> action) override;
  void cancel(const void* owner) override;
  void observeSleeps(std::function<void(uint32_t ms)> observer) override;

  platform::WaitResult waitAny(std::span<platform::Event* const> events,
                               uint32_t timeoutMs) override;
  void sleep(uint32_t ms) override;
  // Runs everything due up to now + ms, as an idle host would see it.
  void advance(uint32_t ms);

 private:
  struct Action {
    const void* owner;
    std::function<void()> run;
  };
  bool runNext(uint64_t limit);

  std::mutex lock_;
  uint64_t now_;
  uint64_t sequence_ = 0;
  std::map<std::pair<uint64_t, uint64_t>, Action> actions_;  // (time, order) → action
  std::function<void(uint32_t)> sleepObserver_;
};

}  // namespace sim
