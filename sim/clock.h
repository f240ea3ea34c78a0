// The simulated camera's time: when device actions happen, in virtual or real milliseconds.
#pragma once

#include <cstdint>
#include <functional>

namespace sim {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual uint64_t now() = 0;
  // Runs `action` at `timeMs` (at once when that has passed); `owner` groups actions for cancel().
  virtual void at(uint64_t timeMs, const void* owner, std::function<void()> action) = 0;
  // Drops the owner's pending actions and waits for one of them that is running.
  virtual void cancel(const void* owner) = 0;
  // Told of every host sleep the clock sees, so the device log can show pauses.
  virtual void observeSleeps(std::function<void(uint32_t ms)> observer) {}
};

}  // namespace sim
