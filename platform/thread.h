// OS threads: created suspended, resumed, joined; ids readable before the body runs.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/event.h"

namespace platform {

enum class ThreadPriority { Idle, Lowest, BelowNormal, Normal, AboveNormal, Highest, TimeCritical };

class Thread {
 public:
  Thread();
  // Joins a running thread; one never resumed is released without running its body.
  ~Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  // Creates the thread; a suspended one does not run its body before resume().
  bool start(std::function<void()> body, bool suspended = false);
  void resume();
  bool join(uint32_t timeoutMs = kInfinite);
  // Lets the thread run on alone, its state kept until it ends: for a thread that must let go of
  // its own object, which it cannot join.
  void detach();
  bool started() const;
  bool running() const;
  uint32_t id() const { return id_; }
  // Best effort on Linux, where unprivileged threads cannot raise their priority.
  void setPriority(ThreadPriority priority);

  struct State;  // per-platform

 private:
  std::shared_ptr<State> state_;
  uint32_t id_ = 0;
};

uint32_t currentThreadId();
// The level the calling thread was last given, whatever the system made of it; Normal for a
// thread this layer did not start.
ThreadPriority currentThreadPriority();

}  // namespace platform
