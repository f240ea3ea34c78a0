// Win32 events: an Event is the native HANDLE, so foreign handles and camera events mix in one
// wait.
#include <windows.h>

#include "platform/event.h"

namespace platform {

Event::Event(Kind kind, bool initiallySet)
    : handle_(CreateEventW(nullptr, kind == Kind::ManualReset, initiallySet, nullptr)) {}

Event::~Event() {
  if (owned_ && handle_) CloseHandle(handle_);
}

Event::Event(Event&& other) noexcept : handle_(other.handle_), owned_(other.owned_) {
  other.handle_ = nullptr;
}

Event& Event::operator=(Event&& other) noexcept {
  if (this != &other) {
    if (owned_ && handle_) CloseHandle(handle_);
    handle_ = other.handle_;
    owned_ = other.owned_;
    other.handle_ = nullptr;
  }
  return *this;
}

Event Event::wrap(void* handle) {
  return Event(handle, false);
}

bool Event::valid() const {
  return handle_ != nullptr;
}
void Event::set() {
  SetEvent(handle_);
}
void Event::reset() {
  ResetEvent(handle_);
}

bool Event::wait(uint32_t timeoutMs) {
  return handle_ && WaitForSingleObject(handle_, timeoutMs) == WAIT_OBJECT_0;
}

WaitResult WaitAny(std::span<Event* const> events, uint32_t timeoutMs) {
  if (events.empty() || events.size() > kMaxWaitObjects) return {WaitStatus::Failed, 0};
  HANDLE handles[kMaxWaitObjects];
  for (size_t i = 0; i < events.size(); ++i) {
    if (!events[i] || !events[i]->valid()) return {WaitStatus::Failed, 0};
    handles[i] = events[i]->nativeHandle();
  }
  const DWORD n = static_cast<DWORD>(events.size());
  const DWORD rc = WaitForMultipleObjects(n, handles, FALSE, timeoutMs);
  if (rc < WAIT_OBJECT_0 + n) return {WaitStatus::Signalled, rc - WAIT_OBJECT_0};
  if (rc == WAIT_TIMEOUT) return {WaitStatus::Timeout, 0};
  return {WaitStatus::Failed, 0};
}

}  // namespace platform
