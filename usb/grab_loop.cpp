// The grab loop. Every read it starts is consumed, drained or aborted before it returns; a read
// that outlives a bounded abort keeps its slot out of use instead of being overwritten later.
#include "usb/grab_loop.h"

#include "base/trace.h"
#include "platform/device_io.h"
#include "platform/wait_hook.h"
#include "usb/cusb.h"

namespace usb {

using platform::WaitStatus;

GrabLoop::GrabLoop(CUsb& usb, uint8_t* dst, platform::Event* stopEvent, uint32_t transferSize,
                   uint32_t frameBytes, uint32_t timeoutMs, uint32_t blockCount,
                   void* packetContext)
    : usb_(usb), stop_(stopEvent), context_(packetContext), waitMs_(timeoutMs) {
  retryBudget_ = usb.GetGrabRetry() * (usb.frameMode ? 3 : 1);
  const uint32_t noPacketMs = usb.noPacketTimeoutMs.load();
  if (noPacketMs && noPacketMs < timeoutMs && usb.triggerMode) {
    waitMs_ = noPacketMs;
    noPacket_ = true;
  }
  state_.destination = dst;
  state_.transferSize = transferSize;
  state_.frameBytes = frameBytes;
  if (transferSize) {
    state_.blocksTotal = blockCount ? blockCount : frameBytes / transferSize + 1;
    state_.lastBlockBytes = frameBytes % transferSize;
  }
  state_.lengths = usb.slots_.lengths();
  state_.buffers = usb.slots_.buffers();
}

int32_t GrabLoop::run() {
  TransferSlots& slots = usb_.slots_;
  if (!usb_.backend_ || !state_.destination || !state_.transferSize ||
      state_.transferSize > slots.bufferBytes() || !slots.count())
    return -1;
  slots.reclaim();
  while (state_.blocksDone < state_.blocksTotal) {
    uint32_t err = 0;
    if (!submit(&err)) return errorPath(err, __LINE__);
    if (queue_.empty()) return abortPath(-1);  // every slot still held by an earlier read
    const int32_t r = receive();
    if (r <= 0) return r;
  }
  return 1;
}

bool GrabLoop::submit(uint32_t* err) {
  TransferSlots& slots = usb_.slots_;
  for (uint32_t i = 0; i < slots.count() && submitted_ < state_.blocksTotal; ++i) {
    TransferSlot& s = slots[i];
    if (s.busy || s.stranded) continue;
    platform::PrepareAsync(s.io, s.event);
    *err = usb_.backend_->startRead(usb_.inEndpoint_, s.buffer.data(), state_.transferSize, s.io);
    if (*err != platform::kErrorSuccess && *err != platform::kErrorIoPending) return false;
    s.busy = true;
    queue_.push_back(i);
    ++submitted_;
  }
  return true;
}

// Waits for the oldest read and hands it to OnGrabPacket: 1 to go on, else the call's result.
int32_t GrabLoop::receive() {
  const uint32_t index = queue_.front();
  TransferSlot& s = usb_.slots_[index];
  platform::Event* events[2] = {stop_, &s.event};
  const auto waited = platform::HookedWaitAny(
      std::span<platform::Event* const>(stop_ ? events : events + 1, stop_ ? 2 : 1), waitMs_);
  if (waited.status == WaitStatus::Timeout) return timeoutPath();
  if (waited.status == WaitStatus::Failed) return abortPath(-1);
  if (stop_ && waited.index == 0) return abortPath(-2);
  queue_.pop_front();
  s.busy = false;
  uint32_t n = 0;
  const uint32_t err = usb_.backend_->readResult(s.io, &n);
  if (err != platform::kErrorSuccess) return errorPath(err, __LINE__);
  usb_.slots_.lengths()[index] = n;
  usb_.resetBudget_ = static_cast<int32_t>(usb_.readsInFlight_) + 1;
  if (usb_.OnGrabPacket(&state_, index, context_)) return 1;
  return restart() ? 1 : drainPath();
}

// The reads still in flight become the first blocks of the new attempt.
bool GrabLoop::restart() {
  if (retriesUsed_ >= retryBudget_) {
    ZX_TRACE_ERROR("%s: retry give up, %d >= %d", "EzusbGrabFrame", static_cast<int>(retriesUsed_),
                   static_cast<int>(retryBudget_));
    return false;
  }
  ++retriesUsed_;
  ZX_TRACE("%s: retry = %d", "EzusbGrabFrame", static_cast<int>(retriesUsed_));
  state_.blocksDone = 0;
  state_.bytesReceived = 0;
  submitted_ = static_cast<uint32_t>(queue_.size());
  return true;
}

int32_t GrabLoop::errorPath(uint32_t err, int line) {
  ZX_TRACE_ERROR("grab error, err = %u, line = %d", err, line);
  if (err == platform::kErrorOperationAborted) return drainPath();
  if (usb_.bProbeGenFailure(err)) return abortPath(-3);
  if (usb_.resetBudget_ <= 0) return abortPath(-1);
  --usb_.resetBudget_;
  usb_.AbortPipe(usb_.inEndpoint_);
  platform::HookedSleepMs(20);
  usb_.ResetPipe();
  platform::HookedSleepMs(50);
  if (usb_.bProbeGenFailure(err)) return abortPath(-3);
  return drainPath();
}

int32_t GrabLoop::timeoutPath() {
  ZX_TRACE_ERROR("grab error, err = %u, line = %d", platform::kErrorSemTimeout, __LINE__);
  const int32_t result = noPacket_ ? -6 : 0;
  usb_.AbortPipe(usb_.inEndpoint_);
  platform::HookedSleepMs(20);
  usb_.ResetPipe();
  platform::HookedSleepMs(30);
  return result == 0 ? drainPath() : abortPath(result);
}

uint32_t GrabLoop::busyEvents(platform::Event** out, uint32_t room) {
  uint32_t n = 0;
  for (uint32_t i = 0; i < usb_.slots_.count() && n < room; ++i)
    if (usb_.slots_[i].busy) out[n++] = &usb_.slots_[i].event;
  return n;
}

// Reads that do not end within the bound strand their slots: -1, and the slots stay out of use.
int32_t GrabLoop::abortPath(int32_t result) {
  usb_.AbortPipe(usb_.inEndpoint_);
  platform::Event* events[TransferSlots::kMaxSlots];
  const uint32_t n = busyEvents(events, TransferSlots::kMaxSlots);
  const WaitStatus waited =
      platform::HookedWaitAll(std::span<platform::Event* const>(events, n), CUsb::kAbortWaitMs);
  for (uint32_t i = 0; i < usb_.slots_.count(); ++i) {
    TransferSlot& s = usb_.slots_[i];
    if (!s.busy) continue;
    s.busy = false;
    s.stranded = !s.done();
  }
  queue_.clear();
  return waited == WaitStatus::Signalled ? result : -1;
}

// In trigger mode the reads may never complete on their own, so they are aborted first there too.
int32_t GrabLoop::drainPath() {
  queue_.clear();
  if (waitMs_ > CUsb::kAbortWaitMs || usb_.triggerMode) usb_.AbortPipe(usb_.inEndpoint_);
  const uint32_t bound = waitMs_ < CUsb::kAbortWaitMs ? waitMs_ : CUsb::kAbortWaitMs;
  for (;;) {
    platform::Event* events[TransferSlots::kMaxSlots + 1];
    uint32_t n = 0;
    if (stop_) events[n++] = stop_;
    const uint32_t busy = busyEvents(events + n, TransferSlots::kMaxSlots);
    if (!busy) return 0;
    const auto waited =
        platform::HookedWaitAny(std::span<platform::Event* const>(events, n + busy), bound);
    if (waited.status != WaitStatus::Signalled) return abortPath(-1);
    if (stop_ && waited.index == 0) return abortPath(-2);
    for (uint32_t i = 0; i < usb_.slots_.count(); ++i)
      if (usb_.slots_[i].busy && &usb_.slots_[i].event == events[waited.index])
        usb_.slots_[i].busy = false;
  }
}

}  // namespace usb
