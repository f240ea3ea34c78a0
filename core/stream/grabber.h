// The grabber thread and still capture: raw frames into the buffer lists, the still state machine.
#pragma once

#include <cstdint>

#include "core/base_impl.h"

class Grabber {
 public:
  explicit Grabber(BaseImpl& camera) : cam_(camera) {}

  void thread_grabber();
  int32_t ImplPreviewFrame(RawBufferRecord* record, platform::Event* stopEvent);
  // Parks the grabber: false when the camera is not streaming, the stream is dead, the grabber
  // has ended, or cancel is set.
  bool begin_to_still_grabber(platform::Event* cancel);
  uint32_t end_to_still_grabber();
  void still_grabber(uint32_t index, uint32_t count, uint64_t context);
  HRESULT Snap(uint32_t index, int32_t count, uint64_t context);
  HRESULT trigger(uint16_t count);
  HRESULT SnapForPin(uint8_t* dst, uint32_t size, platform::Event* cancel);

  static constexpr uint32_t kParkedSleepMs = 100;
  static constexpr uint32_t kStillPollMs = 50;
  // The no-frame limit: twice the exposure plus two seconds, at least ten seconds.
  static uint32_t NoFrameLimitMs(uint32_t exposureUs);

 private:
  bool softwareTrigger() const;
  bool takeTrigger();
  void grabOne(uint8_t binFactor, uint8_t binAverage);
  bool stateSwap(RunState from, RunState to);
  uint8_t* stillBuffer(uint32_t* pitch, uint8_t** second, bool* fromPool);

  BaseImpl& cam_;
};
