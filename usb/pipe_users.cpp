// PipeUsers: a count of raw transfers that a close aborts and waits out.
#include "usb/pipe_users.h"

#include <algorithm>
#include <chrono>

namespace usb {
namespace {
// A transfer that asked just before the close may reach its back-end after an abort went out:
// the abort is sent again at this pace until every transfer has ended.
constexpr std::chrono::milliseconds kAbortAgain{100};
}  // namespace

void PipeUsers::opened() {
  std::lock_guard<std::mutex> hold(lock_);
  open_ = true;
}

bool PipeUsers::enter(uint32_t pipe) {
  std::lock_guard<std::mutex> hold(lock_);
  if (!open_) return false;
  pipes_.push_back(pipe);
  return true;
}

void PipeUsers::leave(uint32_t pipe) {
  std::lock_guard<std::mutex> hold(lock_);
  pipes_.erase(std::find(pipes_.begin(), pipes_.end(), pipe));
  if (pipes_.empty()) idle_.notify_all();
}

void PipeUsers::close(const std::function<void(uint32_t pipe)>& abort) {
  std::unique_lock<std::mutex> hold(lock_);
  open_ = false;
  while (!pipes_.empty()) {
    std::vector<uint32_t> inUse = pipes_;
    std::sort(inUse.begin(), inUse.end());
    inUse.erase(std::unique(inUse.begin(), inUse.end()), inUse.end());
    hold.unlock();
    for (const uint32_t pipe : inUse) abort(pipe);
    hold.lock();
    idle_.wait_for(hold, kAbortAgain, [this] { return pipes_.empty(); });
  }
}

}  // namespace usb
