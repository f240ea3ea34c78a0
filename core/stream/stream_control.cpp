// Stream start and stop, the control lock and the camera-thread guard.
#include "core/stream/stream_control.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "base/lumorix_events.h"
#include "base/lumorix_flags.h"
#include "core/stream/cpu_latency.h"
#include "core/stream/delivery.h"
#include "core/stream/event_sink.h"
#include "core/stream/focus_thread.h"
#include "core/stream/frame_geometry.h"
#include "core/stream/grabber.h"
#include "core/stream/own_thread_delete.h"
#include "core/stream/stream_pipeline.h"
#include "core/stream/wait_graph.h"
#include "base/trace.h"
#include "pipeline/device_values.h"
#include "pipeline/pl_helper_base.h"
#include "pipeline/pl_setters.h"
#include "pipeline/pl_start.h"
#include "platform/registry.h"
#include "platform/utf16.h"
#include "usb/cusb.h"

namespace {

// A pin's still ends on the stop event within the transport's abort bound.
constexpr uint32_t kClaimWaitMs = 10000;

std::atomic<int> threadStartsUntilFailure{0};

// Starts a camera thread unless a test asked this one to fail.
bool startThread(std::unique_ptr<platform::Thread>& thread, std::function<void()> body,
                 bool suspended) {
  if (threadStartsUntilFailure.load() > 0 && --threadStartsUntilFailure == 0) return false;
  auto made = std::make_unique<platform::Thread>();
  if (!made->start(std::move(body), suspended)) return false;
  thread = std::move(made);
  return true;
}

void transportEvent(void* context, uint32_t code) {
  EventSink(*static_cast<BaseImpl*>(context)).raise(code);
}

}  // namespace

void BaseImpl::FailThreadStartAt(int nth) {
  threadStartsUntilFailure = nth;
}

bool BaseImpl::onCameraThread() const {
  const uint32_t self = platform::currentThreadId();
  if (claims_.heldHere()) return true;       // inside a conversion, maybe in a host's hook
  if (controlLock_.heldHere()) return true;  // in a host callback a start raises under the lock
  return self != 0 && (self == grabberThreadId_.load() || self == fillBufferThreadId_.load() ||
                       self == callbackThreadId_.load() || self == focusThreadId_.load());
}

// From any thread: the ids are atomic, set once a thread exists and cleared after its join.
bool BaseImpl::hasThreads() const {
  return grabberThreadId_.load() != 0 || fillBufferThreadId_.load() != 0 ||
         callbackThreadId_.load() != 0 || focusThreadId_.load() != 0;
}

uint32_t BaseImpl::threadCount() const {
  return (grabberThread_ ? 1u : 0u) + (fillBufferThread_ ? 1u : 0u) + (callbackThread_ ? 1u : 0u) +
         (focusThread_ ? 1u : 0u);
}

HRESULT BaseImpl::start(LumorixDataCallback dataA, LumorixDataCallbackV2 dataB,
                        LumorixStillBufferCallback stillBuffer,
                        LumorixStillRequestCallback stillRequest, void* userContext,
                        LumorixEventCallback event, void* eventContext, void* window,
                        uint32_t message, int32_t startPaused) {
  if (onCameraThread()) return kWrongThread;
  std::lock_guard<ControlLock> guard(controlLock_);
  return StreamControl(*this).start(dataA, dataB, stillBuffer, stillRequest, userContext, event,
                                    eventContext, window, message, startPaused);
}

HRESULT BaseImpl::stop() {
  if (onCameraThread()) return kWrongThread;
  std::lock_guard<ControlLock> guard(controlLock_);
  StreamControl(*this).stop();
  return S_OK;
}

// The owner's delete may come from one of the camera's own callbacks: that thread is let go.
void BaseImpl::stopBeforeDelete() {
  if (!onCameraThread()) {
    stop();
    return;
  }
  OwnThreadDelete::markThisThread();
  std::lock_guard<ControlLock> guard(controlLock_);
  StreamControl(*this).stop();
}

HRESULT BaseImpl::close() {
  if (onCameraThread()) return kWrongThread;
  ZX_TRACE("%s", "close");
  stop();
  delete this;
  return S_OK;
}

bool BaseImpl::restartStop(bool openCamera) {
  const bool wasStarted = started_.load();
  if (!wasStarted) return false;
  StreamControl(*this).stop_step();
  if (openCamera) StopSensor();
  return true;
}

// A start step that failed leaves no grabber behind a "started" camera: stop it all instead.
HRESULT BaseImpl::restartStart(bool openCamera, bool roiOnly) {
  started_ = true;
  const HRESULT hr = StreamControl(*this).start_step(openCamera, roiOnly);
  if (SUCCEEDED(hr)) return S_OK;
  ZX_TRACE_ERROR("%s: start_step, hr = 0x%08x", "RestartStream", static_cast<unsigned>(hr));
  runState_ = static_cast<uint32_t>(RunState::Stopped);
  StreamControl(*this).stop();
  return hr;
}

HRESULT BaseImpl::SetSpeedRestart(uint16_t speed, bool force) {
  if (onCameraThread()) {
    // Writing the level alone is harmless here; a restart would join this very thread.
    if (StreamControl(*this).speedNeedsRestart(speed, force)) return kWrongThread;
    return StreamControl(*this).SetSpeedRestart(speed, force);
  }
  std::lock_guard<ControlLock> guard(controlLock_);
  return StreamControl(*this).SetSpeedRestart(speed, force);
}

void BaseImpl::DdrRealtime() {
  StreamControl(*this).DdrRealtime();
}

void BaseImpl::FactoryResetNotify() {
  StreamControl(*this).FactoryResetNotify();
}

bool BaseImpl::transportInTriggerMode() const {
  return transport_ != nullptr && transport_->triggerMode != 0;
}

// A model whose still sizes differ from its preview sizes cannot deliver raw or high-bit output.
bool StreamControl::stillSizeRefused() const {
  const uint32_t index = cam_.previewIndex_.load();
  if (cam_.stillTable_ == nullptr || cam_.previewTable_ == nullptr) return false;
  const ResolutionEntry& still = cam_.stillTable_[index];
  const ResolutionEntry& preview = cam_.previewTable_[index];
  if (still.width == preview.width && still.height == preview.height) return false;
  const uint32_t mode = cam_.pipeline_ ? cam_.pipeline_->shape().outputMode : 0;
  return cam_.optRaw_.load() || mode == 1 || mode == 4;
}

HRESULT StreamControl::start(LumorixDataCallback dataA, LumorixDataCallbackV2 dataB,
                             LumorixStillBufferCallback stillBuffer,
                             LumorixStillRequestCallback stillRequest, void* userContext,
                             LumorixEventCallback event, void* eventContext, void* window,
                             uint32_t message, int32_t startPaused) {
  ZX_TRACE("%s", "start");
  if (cam_.started_.load()) return E_UNEXPECTED;
  if (stillSizeRefused()) return E_NOTIMPL;
  cam_.frameRate_.reset();
  cam_.framesGrabbed_ = 0;
  cam_.framesDelivered_ = 0;
  cam_.started_ = true;
  cam_.dataCallbackA_ = dataA;
  cam_.dataCallbackB_ = dataB;
  cam_.stillBufferCallback_ = stillBuffer;
  cam_.stillRequestCallback_ = stillRequest;
  cam_.userContext_ = reinterpret_cast<uint64_t>(userContext);
  cam_.pause_ = static_cast<uint32_t>(startPaused ? PauseState::Paused : PauseState::Running);
  // The watchdog switch as it stands now holds for this run; a later change re-arms it.
  cam_.noFrameLatched_ = cam_.optNoFrameTimeout_.load();
  cam_.noFrameTimerArmed_ = 1;
  // Each clear waits for the old pair's calls on other host threads, as a host's own clear does.
  cam_.whiteBalanceNotify_.set(nullptr, nullptr);
  cam_.awbInitNotify_.set(nullptr, nullptr);
  const EventChoice choice{event, eventContext, window, message};
  EventSink(cam_).select(choice);
  if (!dataA && !dataB && !stillBuffer && cam_.eventSink_) {
    cam_.exposureNotify_.set(nullptr, nullptr);
    cam_.chromeNotify_.set(nullptr, nullptr);
    if (allocatePullQueue() != S_OK) return failStart(E_OUTOFMEMORY);
  }
  if (cam_.pipeline_) {
    cam_.pipeline_->clearFrameCounter();
    cam_.pipeline_->installNotifications(&cam_);
  }
  cam_.chromeNoticeInstalled_ = true;
  if (cam_.transport_) cam_.transport_->setEventSink(transportEvent, &cam_);
  if (FAILED(start_step(true, false))) return failStart(E_FAIL);
  cam_.acceptedEvents_ = choice;
  return S_OK;
}

// A host takes a failed start as never made and may free what it handed over: the earlier
// start's event choice comes back, once the failed one's calls elsewhere have ended.
HRESULT StreamControl::failStart(HRESULT hr) {
  cam_.runState_ = static_cast<uint32_t>(RunState::Stopped);
  stop();  // resumes and joins whatever start_step created
  EventSink(cam_).select(cam_.acceptedEvents_);
  return hr;
}

// FRAME_DEQUE_LENGTH buffers for a 90 degree turn of the preview size, or for its raw samples;
// all or nothing.
HRESULT StreamControl::allocatePullQueue() {
  const ResolutionEntry& size = cam_.previewTable_[cam_.previewIndex_.load()];
  const StreamOutputShape shape = cam_.pipeline_ ? cam_.pipeline_->shape() : StreamOutputShape{};
  const uint64_t bytes = StreamFrameBytes(cam_.optRaw_.load(), shape, size.width, size.height);
  std::lock_guard<platform::Mutex> guard(cam_.framesLock_);
  for (uint32_t i = 0; i < cam_.frameDequeLength_.load(); ++i) {
    uint8_t* buffer = AllocFrameBuffer(bytes);
    if (buffer == nullptr) return E_OUTOFMEMORY;  // stop() frees what was made
    cam_.pullBuffers_.push_back(buffer);
    cam_.freeFrames_.push_back(LumorixFrameEntry{buffer, {}, 0, 0});
  }
  cam_.pullBufferBytes_ = static_cast<uint32_t>(bytes);
  if (!cam_.frameAvailable_)
    cam_.frameAvailable_ =
        std::make_unique<platform::Event>(platform::Event::Kind::AutoReset, true);
  return S_OK;
}

HRESULT StreamControl::start_step(bool openCamera, bool roiOnly) {
  ZX_TRACE("%s: opencamera = %s, roi = %s", "start_step", openCamera ? "true" : "false",
           roiOnly ? "true" : "false");
  ++cam_.startSteps_;
  {
    std::lock_guard<platform::Mutex> guard(cam_.snapLock_);
    cam_.snapQueue_.clear();
    cam_.snapPending_ = false;
  }
  cam_.triggerCount_ = 0;
  cam_.noFrameState_ = 0;
  cam_.lastAttemptTick_ = 0;
  cam_.lastFrameTick_ = 0;
  resetRawLists();
  cam_.buffers_.freeEvent().set();
  cam_.buffers_.readyEvent().reset();
  if (cam_.triggerEvent_) cam_.triggerEvent_->reset();
  cam_.stopEvent_.reset();
  HRESULT hr = S_OK;
  if (openCamera) {
    openDevice(hr);
    if (FAILED(hr)) return hr;
  }
  takeRequestedRoi(roiOnly);
  cam_.runState_ = static_cast<uint32_t>(RunState::Running);
  cam_.grabStatus_ = 1;
  cam_.claims_.open();
  const HRESULT threads = createThreads();
  return FAILED(threads) ? threads : hr;
}

// A region asked for before this start is written at the first grab. A region restart has marked
// its own and discarded the calibration already; only ISP windows follow the new frame.
void StreamControl::takeRequestedRoi(bool roiOnly) {
  PLHlperBase* helper = cam_.helper_;
  if (!roiOnly && cam_.transport_) {
    const SensorRect roi = cam_.transport_->requestedRoi();
    if (roi.left == 0 && roi.top == 0 && roi.right == 0 && roi.bottom == 0) return;
    cam_.transport_->setRequestedRoi(roi);
    if (helper) {
      SyncIspRects(*helper);
      PL_SetDfcStatus(*helper, kCalibrationDiscard);
      PL_SetFfcStatus(*helper, kCalibrationDiscard);
    }
    return;
  }
  if (roiOnly && helper) SyncIspRects(*helper);
}

void StreamControl::openDevice(HRESULT& hr) {
  if (!cam_.cpuLatencyRegistered_.load() && (cam_.modelFlags() & LUMORIX_FLAG_NOLATENCY) == 0) {
    cam_.cpuLatencyRegistered_ = true;
    CpuLatency::register_cpu_latency(true);
  }
  hr = cam_.InitUSB();
  if (FAILED(hr)) {
    ZX_TRACE_ERROR("InitUSB, hr = 0x%08x", static_cast<unsigned>(hr));
    return;
  }
  hr = cam_.OpenCamera(cam_.previewIndex_.load());
  if (SUCCEEDED(hr) && cam_.transport_) {
    cam_.transport_->bSystemInit(3);
    cam_.transport_->OnStart();
  }
  ZX_TRACE("OpenCamera, 0x%08x", static_cast<unsigned>(hr));
  if (FAILED(hr)) return;
  if (cam_.pipeline_) {
    const HRESULT pipeline = cam_.pipeline_->startPipeline();
    if (FAILED(pipeline)) {
      hr = pipeline;
      return;
    }
  }
  DdrRealtime();
}

// Grabber always; fill-buffer for callbacks or a sink; callback thread for queued events; the
// focus thread on focus models. Any creation failure is out of memory; the caller stops.
HRESULT StreamControl::createThreads() {
  const HRESULT hr = createSuspended();
  if (FAILED(hr)) cam_.runState_ = static_cast<uint32_t>(RunState::Stopped);
  cam_.applyThreadPriority();
  // Resumed either way: after a failure they see the stopped state and end, so joins return.
  for (auto* thread :
       {&cam_.grabberThread_, &cam_.fillBufferThread_, &cam_.callbackThread_, &cam_.focusThread_})
    if (*thread) (*thread)->resume();
  return hr;
}

HRESULT StreamControl::createSuspended() {
  BaseImpl& c = cam_;
  if (!startThread(
          c.grabberThread_, [&c] { OwnThreadDelete::run([&c] { Grabber(c).thread_grabber(); }); },
          true))
    return E_OUTOFMEMORY;
  c.grabberThreadId_ = c.grabberThread_->id();
  c.grabberAlive_ = true;
  if (c.dataCallbackA_ || c.dataCallbackB_ || c.eventSink_ || c.stillBufferCallback_) {
    if (!startThread(
            c.fillBufferThread_,
            [&c] { OwnThreadDelete::run([&c] { Delivery(c).thread_fillbuffer(); }); }, true))
      return E_OUTOFMEMORY;
    c.fillBufferThreadId_ = c.fillBufferThread_->id();
  }
  if (c.optCallbackThread_.load() && c.eventSink_.load() == EventSink::EVENT_CALLBACK) {
    if (!c.eventQueueWake_)
      c.eventQueueWake_ =
          std::make_unique<platform::Event>(platform::Event::Kind::AutoReset, false);
    if (!startThread(
            c.callbackThread_,
            [&c] { OwnThreadDelete::run([&c] { EventSink(c).thread_callback(); }); }, true))
      return E_OUTOFMEMORY;
    c.callbackThreadId_ = c.callbackThread_->id();
  }
  if (c.modelFlags() & LUMORIX_FLAG_FOCUS) {
    c.focusPosition_ = initialFocusPosition();
    if (!startThread(
            c.focusThread_, [&c] { OwnThreadDelete::run([&c] { FocusThread(c).thread_af(); }); },
            true))
      return E_OUTOFMEMORY;
    c.focusThreadId_ = c.focusThread_->id();
    c.focusThread_->resume();  // at once; suspended only until its id marks it a camera thread
  }
  return S_OK;
}

// The third value of the model's focus record; 0 when the model gives none.
uint16_t StreamControl::initialFocusPosition() const {
  LumorixFocusInfo info{};
  if (!cam_.helper_ || FAILED(cam_.helper_->PLHlperGetFocusInfo(&info))) return 0;
  return static_cast<uint16_t>(info.value[kFocusStartField]);
}

// All records free unless a pin holds one: then only the ready ones go back, and the held one
// returns when the pin gives it back.
void StreamControl::resetRawLists() {
  std::lock_guard<platform::Mutex> guard(cam_.lendLock_);
  if (cam_.lentRecords_ == 0) {
    cam_.buffers_.resetLists();
    return;
  }
  while (RawBufferRecord* record = cam_.buffers_.popReady()) cam_.buffers_.pushFreeQuiet(record);
}

void StreamControl::stop_step() {
  ZX_TRACE("%s", "stop_step");
  cam_.runState_ = static_cast<uint32_t>(RunState::Stopped);
  cam_.triggerCount_ = 0;
  cam_.buffers_.freeEvent().set();
  cam_.buffers_.readyEvent().set();
  if (cam_.triggerEvent_) cam_.triggerEvent_->set();
  if (cam_.frameAvailable_) cam_.frameAvailable_->set();
  if (cam_.eventQueueWake_) cam_.eventQueueWake_->set();
  cam_.claims_.close();
  cam_.stopEvent_.set();  // also cancels a blocked focus read and a pin's still
  // A device read of the focus pipe ends when the device answers this wake-up.
  if (cam_.focusThread_) cam_.VenCommand(kFocusWakeUp);
  if (!cam_.claims_.waitIdle(kClaimWaitMs)) ZX_TRACE_ERROR("%s: a consumer holds on", "stop_step");
  joinThreads();
  resetRawLists();
  drainPullQueues();
}

// Every thread has been woken above and ends at its next check of the state. The join is in the
// wait table first, so a camera thread's set waits for no call of this thread's.
void StreamControl::joinThreads() {
  const uint32_t self = platform::currentThreadId();
  const WaitGraph::Join joining(self,
                                {cam_.grabberThreadId_.load(), cam_.fillBufferThreadId_.load(),
                                 cam_.callbackThreadId_.load(), cam_.focusThreadId_.load()});
  for (auto* thread :
       {&cam_.grabberThread_, &cam_.fillBufferThread_, &cam_.callbackThread_, &cam_.focusThread_}) {
    if (*thread && (*thread)->id() == self)
      (*thread)->detach();  // deleting its camera: it leaves once its callback returns
    else if (*thread)
      (*thread)->join();
    thread->reset();
  }
  cam_.grabberThreadId_ = 0;
  cam_.fillBufferThreadId_ = 0;
  cam_.callbackThreadId_ = 0;
  cam_.focusThreadId_ = 0;
  cam_.grabberAlive_ = false;
}

// Filled frames go back to the free queue; in-stream snaps were made from the free queue too,
// pool stills go back to the pool.
void StreamControl::drainPullQueues() {
  std::lock_guard<platform::Mutex> guard(cam_.framesLock_);
  while (!cam_.filledFrames_.empty()) {
    cam_.freeFrames_.push_back(LumorixFrameEntry{cam_.filledFrames_.back().data, {}, 0, 0});
    cam_.filledFrames_.pop_back();
  }
  for (const LumorixFrameEntry& entry : cam_.stillFrames_) {
    if (entry.releaseToPool)
      cam_.stillBufferPool_.push_back(entry.data);
    else
      cam_.freeFrames_.push_back(LumorixFrameEntry{entry.data, {}, 0, 0});
  }
  cam_.stillFrames_.clear();
  if (cam_.frameAvailable_) cam_.frameAvailable_->set();
}

void StreamControl::stop() {
  ZX_TRACE("%s", "stop");
  stop_step();
  if (cam_.pipeline_) cam_.pipeline_->finishPipeline();
  cam_.StopSensor();
  if (cam_.cpuLatencyRegistered_.load() && (cam_.modelFlags() & LUMORIX_FLAG_NOLATENCY) == 0) {
    cam_.cpuLatencyRegistered_ = false;
    CpuLatency::register_cpu_latency(false);
  }
  releaseBuffers();
  {
    std::lock_guard<platform::Mutex> guard(cam_.snapLock_);
    cam_.snapQueue_.clear();
    cam_.snapPending_ = false;
  }
  // The camera threads are joined; a host thread may still be inside the event callback, raised
  // by its own setter: none is once this returns. The pair stays for the factory reset's event.
  EventSink(cam_).awaitCalls();
  cam_.started_ = false;
}

// Frees what the queues and the pool hold. A frame an application still holds is no longer
// ours: returning it later frees it.
void StreamControl::releaseBuffers() {
  FreeFrameBuffer(cam_.scratch_);
  cam_.scratch_ = nullptr;
  cam_.scratchBytes_ = 0;
  std::lock_guard<platform::Mutex> guard(cam_.framesLock_);
  for (uint8_t* buffer : cam_.stillBufferPool_) FreeFrameBuffer(buffer);
  for (auto* queue : {&cam_.freeFrames_, &cam_.filledFrames_, &cam_.stillFrames_})
    for (const LumorixFrameEntry& entry : *queue) FreeFrameBuffer(entry.data);
  cam_.stillBufferPool_.clear();
  cam_.freeFrames_.clear();
  cam_.filledFrames_.clear();
  cam_.stillFrames_.clear();
  cam_.pullBuffers_.clear();
  cam_.stillPoolBuffers_.clear();
}

uint16_t StreamControl::clampSpeed(uint16_t speed) const {
  return static_cast<uint16_t>(std::min<uint32_t>(speed, cam_.get_MaxSpeed()));
}

// Only a deferring transport restarts, and only while streaming with a changed level.
bool StreamControl::speedNeedsRestart(uint16_t speed, bool force) const {
  if (cam_.get_MaxSpeed() < 1 || !cam_.started_.load() || !cam_.transport_ ||
      !cam_.transport_->bDeferSpeed())
    return false;
  return force || !cam_.helper_ || cam_.helper_->speed != clampSpeed(speed);
}

HRESULT StreamControl::SetSpeedRestart(uint16_t speed, bool force) {
  if (cam_.get_MaxSpeed() < 1) return E_UNEXPECTED;
  const bool restart = speedNeedsRestart(speed, force);
  speed = clampSpeed(speed);
  if (cam_.hasRegistryKey_)
    platform::CurrentRegistry().writeDword(platform::WideToUtf8(cam_.registrySubkey_), "FrameRate",
                                           speed);
  PLHlperBase* helper = cam_.helper_;
  const bool deferring = cam_.started_.load() && cam_.transport_ && cam_.transport_->bDeferSpeed();
  if (!deferring) {
    if (helper) PL_SetSpeed(*helper, speed);
    return S_OK;
  }
  if (!restart) return S_OK;
  stop_step();
  cam_.StopSensor();
  if (helper) PL_SetSpeed(*helper, speed);
  return cam_.restartStart(true, false);
}

void StreamControl::DdrRealtime() {
  if ((cam_.modelFlags() & LUMORIX_FLAG_DDR) == 0 || !cam_.transport_) return;
  bool on = cam_.realTime_.load() == 1 || cam_.ddrMode_.load() == 1;
  if (!on && cam_.triggerCount_.load() == 0 && !cam_.transportInTriggerMode()) {
    uint32_t autoExposure = 0;
    on = SUCCEEDED(cam_.get_AutoExpoEnable(&autoExposure)) && autoExposure != 0;
  }
  ZX_TRACE("DdrRealtime: %s", on ? "true" : "false");
  cam_.transport_->bWriteDdrRealtime(on);
}

void StreamControl::FactoryResetNotify() {
  FactoryResetDiscard();
  EventSink(cam_).raise(kEventFactoryReset);
}

// Calibration taken under the old settings does not match the factory ones.
void StreamControl::FactoryResetDiscard() {
  cam_.ddrMode_ = 0;
  if (cam_.helper_) {
    PL_SetDfcStatus(*cam_.helper_, kCalibrationDiscard);
    PL_SetFfcStatus(*cam_.helper_, kCalibrationDiscard);
  }
}
