// Consumer holds on the stream: a count under a lock and an event set while it is zero.
#include "core/stream/stream_claims.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace {

// The claims this thread holds, one entry per hold (a conversion may nest in another's hook).
thread_local std::vector<const StreamClaims*> heldByThisThread;

}  // namespace

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
  heldByThisThread.push_back(this);
  return true;
}

void StreamClaims::release() {
  const auto it = std::find(heldByThisThread.rbegin(), heldByThisThread.rend(), this);
  if (it != heldByThisThread.rend()) heldByThisThread.erase(std::next(it).base());
  std::lock_guard<platform::Mutex> guard(lock_);
  if (held_ > 0 && --held_ == 0) idle_.set();
}

bool StreamClaims::heldHere() const {
  return std::find(heldByThisThread.begin(), heldByThisThread.end(), this) !=
         heldByThisThread.end();
}
