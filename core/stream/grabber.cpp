// Grabber thread, no-frame watchdog, still machine, Snap, trigger and the pin's still.
#include "core/stream/grabber.h"

#include <algorithm>
#include <memory>
#include <mutex>

#include "base/lumorix_events.h"
#include "base/lumorix_flags.h"
#include "core/stream/delivery.h"
#include "core/stream/either_event.h"
#include "core/stream/event_sink.h"
#include "core/stream/frame_geometry.h"
#include "core/stream/own_thread_delete.h"
#include "core/stream/pull_api.h"
#include "core/stream/stream_pipeline.h"
#include "core/stream/wait_graph.h"
#include "base/trace.h"
#include "platform/clock.h"
#include "platform/thread.h"
#include "usb/cusb.h"

namespace {
constexpr uint64_t kTransportTriggerMask = LUMORIX_FLAG_TRIGGER_SOFT | LUMORIX_FLAG_TRIGGER_EXT;
// Why no frame came, as the camera reports it (0: frames are coming).
constexpr uint32_t kNoFrameTimedOut = 1;
constexpr uint32_t kNoFrameFailed = 2;
constexpr uint32_t kNoFrameDisconnected = 3;
// Snap's index meaning "the still size already chosen".
constexpr uint32_t kCurrentStillIndex = 0xFFFFFFFFu;
}  // namespace

uint32_t Grabber::NoFrameLimitMs(uint32_t exposureUs) {
  const uint32_t twice = exposureUs * 2u;  // 32-bit, as the device's own arithmetic
  return std::max<uint32_t>(twice / 1000 + 2000, 10000);
}

bool Grabber::stateSwap(RunState from, RunState to) {
  uint32_t expected = static_cast<uint32_t>(from);
  return cam_.runState_.compare_exchange_strong(expected, static_cast<uint32_t>(to));
}

bool Grabber::softwareTrigger() const {
  return (cam_.modelFlags() & kTransportTriggerMask) == 0 && cam_.transportInTriggerMode();
}

// One trigger consumed, or false after waiting for the next trigger.
bool Grabber::takeTrigger() {
  if (--cam_.triggerCount_ >= 0) return true;
  // Between callback calls, and a stop sets both before its join: no edge in the wait table.
  platform::WaitAny({cam_.triggerEvent_.get(), &cam_.stopEvent_}, platform::kInfinite);
  return false;
}

void Grabber::thread_grabber() {
  ZX_TRACE("%s: enter", "thread_grabber");
  const uint8_t binning = cam_.transport_ ? cam_.transport_->binning.load() : uint8_t{1};
  const auto factor = static_cast<uint8_t>(binning & 0x7F);
  const auto average = static_cast<uint8_t>((binning & 0x80) ? 1 : 0);
  while (cam_.runState_.load() != 0 && cam_.grabStatus_.load() >= 0) {
    if (stateSwap(RunState::StillRequested, RunState::StillParked)) {
      cam_.stopEvent_.wait(kParkedSleepMs);
      continue;
    }
    uint32_t resume = static_cast<uint32_t>(PauseState::ResumeRequested);
    if (cam_.pause_.compare_exchange_strong(resume, static_cast<uint32_t>(PauseState::Running))) {
      cam_.lastAttemptTick_ = 0;
      cam_.lastFrameTick_ = 0;
      continue;
    }
    uint32_t disarmed = 0;
    if (cam_.noFrameTimerArmed_.compare_exchange_strong(disarmed, 1)) {
      cam_.lastAttemptTick_ = 0;
      cam_.lastFrameTick_ = 0;
      cam_.noFrameLatched_ = cam_.optNoFrameTimeout_.load();
    }
    if (cam_.pause_.load() == static_cast<uint32_t>(PauseState::Paused) ||
        cam_.runState_.load() == static_cast<uint32_t>(RunState::StillParked)) {
      cam_.stopEvent_.wait(kParkedSleepMs);
      continue;
    }
    grabOne(factor, average);
  }
  cam_.grabberAlive_ = false;
  ZX_TRACE("%s: leave", "thread_grabber");
}

void Grabber::grabOne(uint8_t binFactor, uint8_t binAverage) {
  const bool consumed = softwareTrigger();
  if (consumed && !takeTrigger()) return;
  RawBufferRecord* record = cam_.buffers_.popFree();
  if (record == nullptr) {
    if (consumed) ++cam_.triggerCount_;
    // Between callback calls, and a stop sets both before its join: no edge in the wait table.
    platform::WaitAny({&cam_.buffers_.freeEvent(), &cam_.stopEvent_}, platform::kInfinite);
    return;
  }
  record->format = kRawFormatNone;
  record->data = record->buffer;
  record->binFactor = binFactor;
  record->binAverage = binAverage;
  const int32_t result = ImplPreviewFrame(record, &cam_.stopEvent_);
  if (result > 0) {
    ++cam_.framesGrabbed_;
    cam_.buffers_.appendReady(record);
    cam_.buffers_.readyEvent().set();
    return;
  }
  cam_.buffers_.pushFreeQuiet(record);  // also on a fatal result: a reset need not find it
  if (result == kGrabNone || result == kGrabStopped || result == kGrabTransferError) {
    if (consumed) ++cam_.triggerCount_;
    if (result == kGrabStopped) cam_.grabStatus_ = 0;
    if (result == kGrabTransferError) cam_.errorNotify_.call(kGrabTransferError);
    return;
  }
  cam_.grabStatus_ = result;
  cam_.buffers_.readyEvent().set();
}

int32_t Grabber::ImplPreviewFrame(RawBufferRecord* record, platform::Event* stopEvent) {
  ZX_TRACE("%s: enter", "ImplPreviewFrame");
  const uint32_t now = platform::TickCountMs();
  const int32_t r = cam_.pipeline_ ? cam_.pipeline_->grabFrame(record, stopEvent) : kGrabFailed;
  if (r == kGrabFailed || r == kGrabDisconnected) {
    cam_.noFrameState_ = r == kGrabFailed ? kNoFrameFailed : kNoFrameDisconnected;
    ZX_TRACE_ERROR("%s: leave, %d", "ImplPreviewFrame", r);
    return r;
  }
  if (r >= kGrabFrame) {
    cam_.lastAttemptTick_ = now;
    cam_.lastFrameTick_ = now;
    cam_.noFrameState_ = 0;
    return r;
  }
  if (r == kGrabNoPacketTimeout) {
    ZX_TRACE_ERROR("%s: no packet timeout: %d", "ImplPreviewFrame", r);
    EventSink(cam_).raise(kEventNoPacketTimeout);
  } else if (r != kGrabNone) {
    return r;
  }
  cam_.lastAttemptTick_ = now;
  if (cam_.lastFrameTick_.load() == 0) cam_.lastFrameTick_ = now;
  if (!cam_.noFrameLatched_.load() || cam_.transportInTriggerMode()) return 0;
  const uint32_t exposure = cam_.pipeline_->shape().exposureUs;
  if (now - cam_.lastFrameTick_.load() > NoFrameLimitMs(exposure)) {
    cam_.noFrameState_ = kNoFrameTimedOut;
    ZX_TRACE_ERROR("%s: leave, %d", "ImplPreviewFrame", kGrabNoFrameTimeout);
    return kGrabNoFrameTimeout;
  }
  return 0;
}

bool Grabber::begin_to_still_grabber(platform::Event* cancel) {
  ZX_TRACE("%s", "begin_to_still_grabber");
  if (!stateSwap(RunState::Running, RunState::StillRequested)) return false;
  cam_.buffers_.freeEvent().set();
  if (cam_.triggerEvent_) cam_.triggerEvent_->set();
  // The grabber parks between its callbacks; from inside a host's callback this thread may be the
  // one a set on the grabber waits for, so the wait is in the table as a join of the grabber.
  const WaitGraph::Join parking(platform::currentThreadId(), {cam_.grabberThreadId_.load()});
  while (cam_.runState_.load() == static_cast<uint32_t>(RunState::StillRequested)) {
    const bool dead = cam_.grabStatus_.load() < 0 || !cam_.grabberAlive_.load();
    const bool cancelled = cancel != nullptr && cancel->wait(0);
    if (dead || cancelled) {
      stateSwap(RunState::StillRequested, RunState::Running);
      if (cancelled) cancel->set();  // the wait above consumed an auto-reset event
      return false;
    }
    platform::WaitAny({&cam_.stopEvent_}, kStillPollMs);
  }
  return cam_.runState_.load() == static_cast<uint32_t>(RunState::StillParked);
}

uint32_t Grabber::end_to_still_grabber() {
  ZX_TRACE("%s", "end_to_still_grabber");
  const uint32_t preview = cam_.previewIndex_.load();
  ZX_TRACE("SetResolution: %u, false", preview);
  cam_.SetResolution(preview, false);
  if ((cam_.modelFlags() & LUMORIX_FLAG_BIT3) && cam_.transport_ && cam_.previewTable_)
    cam_.transport_->EzWriteRoi(static_cast<int32_t>(cam_.previewTable_[preview].width),
                                static_cast<int32_t>(cam_.previewTable_[preview].height));
  uint32_t previous = static_cast<uint32_t>(RunState::StillParked);
  cam_.runState_.compare_exchange_strong(previous, static_cast<uint32_t>(RunState::Running));
  return previous;
}

// An output buffer for one still: the application's, else the pool's (newest returned first).
uint8_t* Grabber::stillBuffer(uint32_t* pitch, uint8_t** second, bool* fromPool) {
  *pitch = 0;
  *second = nullptr;
  *fromPool = false;
  if (cam_.stillRequestCallback_) {
    uint8_t* buffer = nullptr;
    cam_.stillRequestCallback_(1, &buffer, pitch, second,
                               reinterpret_cast<void*>(cam_.userContext_));
    OwnThreadDelete::leaveIfDeleted();
    return buffer;
  }
  *fromPool = true;
  return Delivery(cam_).takeStillPoolBuffer();
}

void Grabber::still_grabber(uint32_t index, uint32_t count, uint64_t context) {
  ZX_TRACE("%s: snapsize = %u, num = %u", "still_grabber", index, count);
  if (!begin_to_still_grabber(nullptr)) return;
  const ResolutionEntry& size = cam_.previewTable_[index];
  const ResolutionEntry& sensor = cam_.stillTable_ ? cam_.stillTable_[index] : size;
  ZX_TRACE("SetResolution: %u, true", index);
  cam_.SetResolution(index, true);
  bool ended = false;
  for (uint32_t i = 0; i < count && cam_.runState_.load() != 0; ++i) {
    uint32_t pitch = 0;
    uint8_t* second = nullptr;
    bool fromPool = false;
    uint8_t* buffer = stillBuffer(&pitch, &second, &fromPool);
    if (buffer == nullptr) continue;
    const uint8_t bits = cam_.optRaw_.load() ? 0 : (second ? 48 : 24);
    // A hook that deletes the camera in the grab, an exposure callback that does in the return to
    // preview, or a data callback that does on the still, leaves: the stop has dropped the pool's
    // list, so the pool buffer in hand is this thread's alone to free until it is queued or back.
    OwnedFrameBuffer leaving(fromPool ? buffer : nullptr);
    const StillFrame still =
        cam_.pipeline_->grabStill(second ? second : buffer, nullptr, pitch, bits, &cam_.stopEvent_,
                                  size.width, size.height, sensor.width, sensor.height, index);
    if (count == 1) {
      end_to_still_grabber();
      ended = true;
    }
    if (still.status >= kGrabFrame)
      ZX_TRACE("StillFrame: %d", still.status);
    else
      ZX_TRACE_ERROR("StillFrame: %d", still.status);
    if (still.status >= kGrabFrame)
      Delivery(cam_).deliverStill(still, buffer, second, pitch, leaving, context);
    if (leaving) Delivery(cam_).returnStillPoolBuffer(leaving.release());
    if (still.status < 0) {
      // A stop only means no still; anything else ends the stream, reported by the delivery side.
      if (still.status != kGrabStopped) cam_.grabStatus_ = still.status;
      break;
    }
  }
  if (!ended) end_to_still_grabber();
}

HRESULT Grabber::Snap(uint32_t index, int32_t count, uint64_t context) {
  if (count < 1) return E_INVALIDARG;  // the still grabber takes at least one
  if (!cam_.started_.load() || cam_.transportInTriggerMode()) return E_UNEXPECTED;
  // Nobody would serve the request. The id, not the handle: start and stop may be running.
  if (cam_.fillBufferThreadId_.load() == 0) return E_UNEXPECTED;
  if (index == kCurrentStillIndex) index = cam_.stillIndex_.load();
  if (index != cam_.previewIndex_.load()) {
    if (cam_.stillCount() == 0) return E_NOTIMPL;
    if (index >= cam_.stillCount()) return E_INVALIDARG;
  }
  std::lock_guard<platform::Mutex> guard(cam_.snapLock_);
  cam_.snapQueue_.push_back(SnapRequest{index, count, context});
  cam_.snapPending_ = true;
  return S_OK;
}

HRESULT Grabber::trigger(uint16_t count) {
  ZX_TRACE("%s: %hx", "trigger", count);
  if ((cam_.modelFlags() & LUMORIX_FLAG_TRIGGER_SINGLE) && count >= 2) return E_INVALIDARG;
  if (!cam_.started_.load() || !cam_.transportInTriggerMode()) return E_UNEXPECTED;
  if (cam_.modelFlags() & kTransportTriggerMask) return cam_.transport_->bTrigger(count);
  PullApi(cam_).Flush();
  cam_.triggerCount_ = count < 0xFFFF ? count : 0x7FFFFFFF;
  if (cam_.triggerEvent_) cam_.triggerEvent_->set();
  return S_OK;
}

// A still straight into the pin's buffer. -2 (cancelled or stopped) is no still: S_FALSE,
// streaming on. Any other failure leaves the stream running with the error, which the pulls then
// report. The claim holds off stop and restart, whose stop event also ends the grab, until the
// sensor is back in the preview window.
HRESULT Grabber::SnapForPin(uint8_t* dst, uint32_t size, platform::Event* cancel) {
  if (cam_.transportInTriggerMode()) return E_UNEXPECTED;
  StreamClaim claim(cam_.claims_);  // first: a restart may change the indexes until it is held
  if (!claim.held()) return E_FAIL;
  const uint32_t stillIndex = cam_.stillIndex_.load();
  const uint32_t preview = cam_.previewIndex_.load();
  if (!cam_.previewTable_ || stillIndex >= cam_.previewCount()) return E_UNEXPECTED;
  const ResolutionEntry& frame = cam_.previewTable_[stillIndex];
  const ResolutionEntry& sensor = cam_.stillTable_ ? cam_.stillTable_[stillIndex] : frame;
  const bool turned = cam_.pipeline_ && cam_.pipeline_->shape().rotated90;
  if (dst == nullptr || size < ImageBytes(24, DeliveredShape(frame.width, frame.height, 1, turned)))
    return E_FAIL;
  EitherEvent stop(cancel, cam_.stopEvent_);
  if (stop.event() == nullptr) return E_OUTOFMEMORY;
  if (!begin_to_still_grabber(cancel)) return E_FAIL;
  if (stillIndex != preview) cam_.SetResolution(stillIndex, true);
  const StillFrame still =
      cam_.pipeline_->grabStill(dst, nullptr, 0, 24, stop.event(), frame.width, frame.height,
                                sensor.width, sensor.height, stillIndex);
  if (still.status < 0 && still.status != kGrabStopped) cam_.grabStatus_ = still.status;
  if (stillIndex != preview) cam_.SetResolution(preview, false);
  stateSwap(RunState::StillParked, RunState::Running);
  if (still.status == kGrabStopped || still.status == kGrabNone) return S_FALSE;
  return still.status < 0 ? E_FAIL : S_OK;
}

HRESULT BaseImpl::Snap(uint32_t resolutionIndex, int32_t count, uint64_t context) {
  return Grabber(*this).Snap(resolutionIndex, count, context);
}

HRESULT BaseImpl::trigger(uint16_t count) {
  return Grabber(*this).trigger(count);
}

HRESULT BaseImpl::SnapForPin(uint8_t* dst, uint32_t size, platform::Event* cancelEvent) {
  return Grabber(*this).SnapForPin(dst, size, cancelEvent);
}
