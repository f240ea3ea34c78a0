// The stream side every family's camera shares: what streaming asks of the pipeline, answered by
// the pipeline helper (start and finish, the per-frame grab with its AE step, stills, the output
// shape, notifications, fan and cooler).
#pragma once

#include <atomic>
#include <cstdint>

#include "core/stream/stream_pipeline.h"

class PLHlperBase;

class HelperStream : public StreamPipeline {
 public:
  explicit HelperStream(PLHlperBase& helper) : helper_(helper) {}
  virtual ~HelperStream() = default;
  HelperStream(const HelperStream&) = delete;
  HelperStream& operator=(const HelperStream&) = delete;

  HRESULT startPipeline() override;
  void finishPipeline() override;
  int32_t grabFrame(RawBufferRecord* record, platform::Event* stopEvent) override;
  StillFrame grabStill(uint8_t* output, uint8_t* second, uint32_t pitch, uint8_t bits,
                       platform::Event* stopEvent, uint32_t width, uint32_t height,
                       uint32_t sensorWidth, uint32_t sensorHeight, uint32_t index) override;
  StreamOutputShape shape() override;
  void clearFrameCounter() override { sequence_ = 0; }
  void installNotifications(LumorixImplCallback* sink) override;
  // No focus motor unless a family says otherwise: nothing to read, ever.
  int32_t readFocusPipe(uint8_t* buffer, uint32_t length, platform::Event& cancel) override;
  HRESULT openDevice() override;
  HRESULT setFan(uint16_t speed) override;
  HRESULT setTec(uint32_t on) override;

 private:
  PLHlperBase& helper_;
  std::atomic<uint32_t> sequence_{0};
};
