// Consumer holds on the stream: a count under a lock and an event set while it is zero.
#include "core/stream/stream_claims.h"

#include <mutex>

void StreamClaims::open() {
  std::lock_guard<platform::Mutex> guard(lock_);
  open_ = true;
}

void StreamClaims::close() {
  std::lock_guard<platform::Mutex> guard(lock_);
  open_ = false;
}

bool StreamClaims::waitIdle(uint32_t timeoutMs) {
  return idle_.wait(timeoutMs);
}

bool StreamClaims::acquire() {
  std::lock_guard<platform::Mutex> guard(lock_);
  if (!open_) return false;
  if (held_++ == 0) idle_.reset();
  return true;
}

void StreamClaims::release() {
  std::lock_guard<platform::Mutex> guard(lock_);
  if (held_ > 0 && --held_ == 0) idle_.set();
}
