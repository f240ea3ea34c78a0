// Moves a camera between stopped and streaming: start, start_step, stop, stop_step, restarts.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/base_impl.h"

class StreamControl {
 public:
  explicit StreamControl(BaseImpl& camera) : cam_(camera) {}

  HRESULT start(LumorixDataCallback dataA, LumorixDataCallbackV2 dataB,
                LumorixStillBufferCallback stillBuffer, LumorixStillRequestCallback stillRequest,
                void* userContext, LumorixEventCallback event, void* eventContext, void* window,
                uint32_t message, int32_t startPaused);
  HRESULT start_step(bool openCamera, bool roiOnly);
  void stop();
  void stop_step();
  HRESULT SetSpeedRestart(uint16_t speed, bool force);
  bool speedNeedsRestart(uint16_t speed, bool force) const;
  void DdrRealtime();
  void FactoryResetNotify();
  // The reset's own steps without its event, for a caller that raises it once unlocked.
  void FactoryResetDiscard();

 private:
  HRESULT failStart(HRESULT hr);
  bool stillSizeRefused() const;
  uint16_t clampSpeed(uint16_t speed) const;
  HRESULT allocatePullQueue();
  void openDevice(HRESULT& hr);
  void takeRequestedRoi(bool roiOnly);
  HRESULT createThreads();
  HRESULT createSuspended();
  uint16_t initialFocusPosition() const;
  void resetRawLists();
  void drainPullQueues();
  void releaseBuffers();
  void joinThreads();

  static constexpr size_t kFocusStartField = 2;  // of the model's focus record
  static constexpr uint16_t kFocusWakeUp = 1;    // the vendor command that ends a pipe read

  BaseImpl& cam_;
};
