// The stream side every family's camera shares: what streaming asks of the pipeline, answered by
// the pipeline helper (start and finish, the per-frame grab with its AE step, stills, the output
// shape, notifications, fan and cooler).
#pragma once

#include <atomic>
#include <cstdint>

#include "core/stream/stream_pipeline.h"

class CUsb;
class PLHlperBase;

class HelperStream : public StreamPipeline {
 public:
  HelperStream(PLHlperBase& helper, CUsb& device) : helper_(helper), device_(device) {}
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
  // The focus motor's pipe, read once the device is open; the device's read bound or its answer
  // to the stop's wake-up ends a read.
  int32_t readFocusPipe(uint8_t* buffer, uint32_t length, platform::Event& cancel) override;
  uint32_t focusPosition() override;
  HRESULT openDevice() override;
  HRESULT setFan(uint16_t speed) override;
  HRESULT setTec(uint32_t on) override;

 private:
  static constexpr uint32_t kFocusPipe = 1;

  PLHlperBase& helper_;
  CUsb& device_;
  std::atomic<uint32_t> sequence_{0};
};
