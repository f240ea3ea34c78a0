// POSIX threads over std::thread; a start gate gives Win32's create-suspended semantics.
#include <pthread.h>
#include <sched.h>

#include <atomic>
#include <thread>

#include "platform/thread.h"

namespace platform {
namespace {

std::atomic<uint32_t> nextThreadId{1};
thread_local uint32_t tlsThreadId = 0;
thread_local const std::atomic<ThreadPriority>* tlsPriority = nullptr;

}  // namespace

struct Thread::State {
  Event gate{Event::Kind::ManualReset};
  Event finished{Event::Kind::ManualReset};
  std::thread thread;
  std::function<void()> body;
  uint32_t id = 0;
  bool resumed = false;
  std::atomic<bool> cancelled{false};
  std::atomic<ThreadPriority> priority{ThreadPriority::Normal};
};

Thread::Thread() = default;

Thread::~Thread() {
  if (state_ && !state_->resumed) {
    state_->cancelled = true;
    resume();
  }
  join();
}

bool Thread::start(std::function<void()> body, bool suspended) {
  if (state_) return false;
  auto state = std::make_shared<State>();
  state->body = std::move(body);
  state->id = nextThreadId.fetch_add(1);
  id_ = state->id;  // readable before the body runs
  try {
    state->thread = std::thread([state] {
      tlsThreadId = state->id;
      tlsPriority = &state->priority;
      state->gate.wait();
      if (!state->cancelled) state->body();
      state->body = nullptr;
      state->finished.set();
    });
  } catch (...) {
    id_ = 0;
    return false;
  }
  state_ = std::move(state);
  if (!suspended) resume();
  return true;
}

void Thread::resume() {
  if (!state_) return;
  state_->resumed = true;
  state_->gate.set();
}

bool Thread::join(uint32_t timeoutMs) {
  if (!state_) return true;
  if (!state_->thread.joinable()) return true;
  if (!state_->finished.wait(timeoutMs)) return false;
  state_->thread.join();
  return true;
}

void Thread::detach() {
  if (!state_) return;
  if (!state_->resumed) {
    state_->cancelled = true;
    resume();
  }
  if (state_->thread.joinable()) state_->thread.detach();
  state_.reset();  // the thread holds its own reference
  id_ = 0;
}

bool Thread::started() const {
  return state_ != nullptr;
}

bool Thread::running() const {
  return state_ && state_->thread.joinable() && !state_->finished.wait(0);
}

void Thread::setPriority(ThreadPriority priority) {
  if (!state_ || !state_->thread.joinable()) return;
  state_->priority = priority;
  // Only lowering works without privileges; SCHED_IDLE matches Win32's idle class in spirit.
  if (priority == ThreadPriority::Idle) {
    sched_param param{};
    pthread_setschedparam(state_->thread.native_handle(), SCHED_IDLE, &param);
  }
}

ThreadPriority currentThreadPriority() {
  return tlsPriority ? tlsPriority->load() : ThreadPriority::Normal;
}

uint32_t currentThreadId() {
  if (tlsThreadId == 0) tlsThreadId = nextThreadId.fetch_add(1);
  return tlsThreadId;
}

}  // namespace platform
