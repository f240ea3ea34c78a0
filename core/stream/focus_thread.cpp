// Focus thread body.
#include "core/stream/focus_thread.h"

#include "base/lumorix_events.h"
#include "core/stream/event_sink.h"
#include "core/stream/stream_pipeline.h"
#include "base/trace.h"

void FocusThread::thread_af() {
  ZX_TRACE("%s: enter", "thread_af");
  uint8_t buffer[256];
  while (cam_.runState_.load() != 0 && cam_.pipeline_) {
    const int32_t read = cam_.pipeline_->readFocusPipe(buffer, sizeof buffer, cam_.stopEvent_);
    if (read <= 0) {
      cam_.stopEvent_.wait(kBackOffMs);  // a failing device must not spin this thread
      continue;
    }
    if (buffer[0] > 254) continue;
    const auto position = static_cast<uint16_t>(cam_.pipeline_->focusPosition());
    if (position == cam_.focusPosition_.load()) continue;
    cam_.focusPosition_ = position;
    EventSink(cam_).raise(kEventFocusPosition);
  }
  ZX_TRACE("%s: leave", "thread_af");
}
