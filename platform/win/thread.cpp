// Win32 threads started through the C runtime, created suspended when asked.
#include <process.h>
#include <windows.h>

#include <atomic>
#include <memory>
#include <new>

#include "platform/thread.h"

namespace platform {

struct Thread::State {
  HANDLE handle = nullptr;
  std::function<void()> body;
  bool resumed = false;
  bool cancelled = false;  // written before the first resume, read after it
  std::atomic<ThreadPriority> priority{ThreadPriority::Normal};
  ~State() {
    if (handle) CloseHandle(handle);
  }
};

namespace {

thread_local const std::atomic<ThreadPriority>* tlsPriority = nullptr;

// The thread holds its own reference, so a detached thread's state lives until it ends.
unsigned __stdcall threadEntry(void* arg) {
  std::unique_ptr<std::shared_ptr<Thread::State>> hold(
      static_cast<std::shared_ptr<Thread::State>*>(arg));
  Thread::State& state = **hold;
  tlsPriority = &state.priority;
  if (!state.cancelled) state.body();
  state.body = nullptr;
  return 0;
}

int toWin32(ThreadPriority p) {
  switch (p) {
    case ThreadPriority::Idle:
      return THREAD_PRIORITY_IDLE;
    case ThreadPriority::Lowest:
      return THREAD_PRIORITY_LOWEST;
    case ThreadPriority::BelowNormal:
      return THREAD_PRIORITY_BELOW_NORMAL;
    case ThreadPriority::Normal:
      return THREAD_PRIORITY_NORMAL;
    case ThreadPriority::AboveNormal:
      return THREAD_PRIORITY_ABOVE_NORMAL;
    case ThreadPriority::Highest:
      return THREAD_PRIORITY_HIGHEST;
    case ThreadPriority::TimeCritical:
      return THREAD_PRIORITY_TIME_CRITICAL;
  }
  return THREAD_PRIORITY_NORMAL;
}

}  // namespace

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
  unsigned id = 0;
  // Always created suspended so that the handle and id are stored before the body can run.
  auto* hold = new (std::nothrow) std::shared_ptr<State>(state);
  if (hold == nullptr) return false;
  const uintptr_t h = _beginthreadex(nullptr, 0, threadEntry, hold, CREATE_SUSPENDED, &id);
  if (h == 0) {
    delete hold;
    return false;
  }
  state->handle = reinterpret_cast<HANDLE>(h);
  id_ = id;
  state_ = std::move(state);
  if (!suspended) resume();
  return true;
}

void Thread::resume() {
  if (!state_) return;
  state_->resumed = true;
  ResumeThread(state_->handle);
}

bool Thread::join(uint32_t timeoutMs) {
  if (!state_) return true;
  return WaitForSingleObject(state_->handle, timeoutMs) == WAIT_OBJECT_0;
}

void Thread::detach() {
  if (!state_) return;
  if (!state_->resumed) {
    state_->cancelled = true;
    resume();
  }
  state_.reset();  // the thread holds its own reference
  id_ = 0;
}

bool Thread::started() const {
  return state_ != nullptr;
}

bool Thread::running() const {
  return state_ && WaitForSingleObject(state_->handle, 0) == WAIT_TIMEOUT;
}

void Thread::setPriority(ThreadPriority priority) {
  if (!state_) return;
  state_->priority = priority;
  SetThreadPriority(state_->handle, toWin32(priority));
}

ThreadPriority currentThreadPriority() {
  return tlsPriority ? tlsPriority->load() : ThreadPriority::Normal;
}

uint32_t currentThreadId() {
  return GetCurrentThreadId();
}

}  // namespace platform
