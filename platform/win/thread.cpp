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
  HMODULE module = nullptr;  // the reference the thread holds on its code's module
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

// The thread holds its own reference, so a detached thread's state lives until it ends. It also
// holds one on the module its code is in, taken by start(): a module unloaded while one of its
// threads still runs (detached, or past a bounded join) stays mapped until the thread has left
// its code, which only FreeLibraryAndExitThread allows, as it never returns into it.
unsigned __stdcall threadEntry(void* arg) {
  HMODULE module = nullptr;
  {
    std::unique_ptr<std::shared_ptr<Thread::State>> hold(
        static_cast<std::shared_ptr<Thread::State>*>(arg));
    Thread::State& state = **hold;
    module = state.module;
    tlsPriority = &state.priority;
    if (!state.cancelled) state.body();
    state.body = nullptr;
  }
  tlsPriority = nullptr;
  if (module) FreeLibraryAndExitThread(module, 0);
  return 0;
}

// A reference on the module this code is linked into, or null.
HMODULE pinOwnModule() {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                          reinterpret_cast<LPCWSTR>(reinterpret_cast<void*>(&threadEntry)),
                          &module))
    return nullptr;
  return module;
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
  state->module = pinOwnModule();  // before the thread exists: it may outlive an unload at once
  const uintptr_t h = _beginthreadex(nullptr, 0, threadEntry, hold, CREATE_SUSPENDED, &id);
  if (h == 0) {
    if (state->module) FreeLibrary(state->module);
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
