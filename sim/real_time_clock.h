// The simulated camera in real time: a thread runs device actions when they fall due.
#pragma once

#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "sim/clock.h"

namespace sim {

class RealTimeClock final : public Clock {
 public:
  RealTimeClock();
  ~RealTimeClock() override;

  uint64_t now() override;
  void at(uint64_t timeMs, const void* owner, std::function<void()> action) override;
  void cancel(const void* owner) override;

 private:
  struct Action {
    const void* owner;
    std::function<void()> run;
  };
  void loop();

  std::mutex lock_;
  std::condition_variable changed_;
  std::map<std::pair<uint64_t, uint64_t>, Action> actions_;
  uint64_t sequence_ = 0;
  const void* running_ = nullptr;
  bool quit_ = false;
  std::thread thread_;
};

}  // namespace sim
