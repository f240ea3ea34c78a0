// Consumer holds on the stream: a count under a lock and an event set while it is zero.
#include "core/stream/stream_claims.h"

#include <algorithm>
#include <mutex>

#include "core/stream/wait_graph.h"
#include "platform/thread.h"

namespace {

// The claims this thread holds, one entry per hold (a conversion may nest in another's hook). A
// fixed table, not a vector: a thread-local object with a destructor makes the C++ runtime keep
// the module loaded until the thread ends, so a host's FreeLibrary would leave it in the process.
thread_local const StreamClaims* heldByThisThread[StreamClaims::kMaxNestedHolds];
thread_local uint32_t heldCount = 0;

}  // namespace

void StreamClaims::open() {
  std::lock_guard<platform::Mutex> guard(lock_);
  open_ = true;
}

void StreamClaims::close() {
  std::lock_guard<platform::Mutex> guard(lock_);
  open_ = false;
}

// A holder may be converting inside a host's hook and there wait in a set for a call of this
// thread's: the table sees the wait as an edge to every holder, so that set skips the call.
bool StreamClaims::waitIdle(uint32_t timeoutMs) {
  const uint32_t self = platform::currentThreadId();
  WaitGraph::Lock::blocking(this, self);
  const bool idle = idle_.wait(timeoutMs);
  WaitGraph::Lock::unblocked(this, self);
  return idle;
}

bool StreamClaims::acquire() {
  std::lock_guard<platform::Mutex> guard(lock_);
  if (!open_ || heldCount == kMaxNestedHolds) return false;
  if (held_++ == 0) idle_.reset();
  heldByThisThread[heldCount++] = this;
  WaitGraph::Lock::taken(this, platform::currentThreadId());
  return true;
}

void StreamClaims::release() {
  WaitGraph::Lock::releasing(this, platform::currentThreadId());
  for (uint32_t i = heldCount; i-- > 0;) {  // the innermost of this stream's holds
    if (heldByThisThread[i] != this) continue;
    std::copy(heldByThisThread + i + 1, heldByThisThread + heldCount, heldByThisThread + i);
    --heldCount;
    break;
  }
  std::lock_guard<platform::Mutex> guard(lock_);
  if (held_ > 0 && --held_ == 0) idle_.set();
}

bool StreamClaims::heldHere() const {
  const StreamClaims** end = heldByThisThread + heldCount;
  return std::find(heldByThisThread, end, this) != end;
}
