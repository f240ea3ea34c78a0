// Event sinks, the callback thread and the pipeline notification trampolines.
#include "core/stream/event_sink.h"

#include <atomic>
#include <mutex>

#include "base/lumorix_events.h"
#include "base/trace.h"
#include "core/stream/own_thread_delete.h"
#include "platform/dynlib.h"

namespace {

std::atomic<EventSink::WindowPoster> poster{nullptr};

EventSink::WindowPoster systemPoster() {
  static platform::DynamicLibrary user32;
  static EventSink::WindowPoster resolved = [] {
    if (!user32.open(ZX_W("User32.dll"))) return EventSink::WindowPoster{nullptr};
    return reinterpret_cast<EventSink::WindowPoster>(user32.symbol("PostMessageW"));
  }();
  return resolved;
}

}  // namespace

void EventSink::SetWindowPoster(WindowPoster replacement) {
  poster = replacement;
}

// The sink goes last, after what it reads: a raise on another thread that sees it sees its fields.
void EventSink::select(const EventChoice& choice) {
  cam_.eventSink_ = nullptr;
  cam_.window_ = nullptr;
  cam_.eventSinkContext_ = &cam_;
  cam_.eventNotify_.set(choice.callback, choice.context);
  if (choice.callback) {
    cam_.eventSink_ = EVENT_CALLBACK;
  } else if (choice.window) {
    cam_.windowMessage_ = choice.message;
    cam_.window_ = choice.window;
    cam_.eventSink_ = HWND_CALLBACK;
  }
}

void EventSink::awaitCalls() {
  cam_.eventNotify_.awaitCalls();
}

void EventSink::raise(uint32_t code) {
  const LumorixEventCallback sink = cam_.eventSink_.load();
  if (!sink) return;
  sink(code, cam_.eventSinkContext_.load());
  OwnThreadDelete::leaveIfDeleted();
}

void EventSink::EVENT_CALLBACK(uint32_t code, void* context) {
  ZX_TRACE("%s: %u", "EVENT_CALLBACK", code);
  BaseImpl& cam = *static_cast<BaseImpl*>(context);
  if (cam.callbackThreadId_.load() != 0 && cam.eventQueueWake_) {
    {
      std::lock_guard<platform::Mutex> guard(cam.eventQueueLock_);
      cam.eventQueue_.push_back(code);
    }
    cam.eventQueueWake_->set();
    return;
  }
  cam.eventNotify_.callHeld([] {}, code);  // the raise leaves a deleting thread
}

void EventSink::HWND_CALLBACK(uint32_t code, void* context) {
  ZX_TRACE("%s: %u", "HWND_CALLBACK", code);
  BaseImpl& cam = *static_cast<BaseImpl*>(context);
  WindowPoster post = poster.load();
  if (!post) post = systemPoster();
  if (post) post(cam.window_.load(), cam.windowMessage_.load(), code, 0);
}

// Events in the order raised, one at a time, never under the queue lock.
void EventSink::thread_callback() {
  ZX_TRACE("%s: enter", "thread_callback");
  while (cam_.runState_.load() != 0) {
    bool have = false;
    uint32_t code = 0;
    {
      std::lock_guard<platform::Mutex> guard(cam_.eventQueueLock_);
      if (!cam_.eventQueue_.empty()) {
        code = cam_.eventQueue_.front();
        cam_.eventQueue_.pop_front();
        have = true;
      }
    }
    if (have) {
      cam_.eventNotify_.call(code);
      continue;
    }
    // Between callback calls, and a stop sets both before its join: no edge in the wait table.
    platform::WaitAny({cam_.eventQueueWake_.get(), &cam_.stopEvent_}, platform::kInfinite);
  }
  std::lock_guard<platform::Mutex> guard(cam_.eventQueueLock_);
  cam_.eventQueue_.clear();
  ZX_TRACE("%s: leave", "thread_callback");
}

HRESULT STDMETHODCALLTYPE BaseImpl::put_ExpoCallback(LumorixNotifyCallback callback,
                                                     void* context) {
  exposureNotify_.set(callback, context);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE BaseImpl::put_ChromeCallback(LumorixNotifyCallback callback,
                                                       void* context) {
  chromeNotify_.set(callback, context);
  return S_OK;
}

// Pipeline notifications: the event first, then the user's own callback.
void BaseImpl::OnExposureChanged() {
  EventSink(*this).raise(kEventExposure);
  exposureNotify_.call();
}

void BaseImpl::OnWhiteBalanceDone(int32_t temperature, int32_t tint) {
  EventSink(*this).raise(kEventWhiteBalance);
  whiteBalanceNotify_.call(temperature, tint);
}

void BaseImpl::OnAwbInitDone(int32_t result) {
  EventSink(*this).raise(kEventAwbInit);
  awbInitNotify_.call(result);
}

void BaseImpl::OnChromeChanged() {
  EventSink(*this).raise(kEventChrome);
  chromeNotify_.call();
}

void BaseImpl::OnBlackBalanceDone(int32_t result) {
  EventSink(*this).raise(kEventBlackBalance);
  blackBalanceNotify_.call(result);
}

void BaseImpl::OnFfcDone() {
  EventSink(*this).raise(kEventFlatFieldDone);
}

void BaseImpl::OnDfcDone() {
  EventSink(*this).raise(kEventDarkFieldDone);
}
