// What streaming asks of a camera's pipeline half: start and finish, the per-frame grab, stills.
#pragma once

#include <cstdint>

#include "core/camera_buffer_impl.h"
#include "platform/com_types.h"

namespace platform {
class Event;
}
struct RawBufferRecord;
class LumorixImplCallback;

// What grabFrame returns (and grabStill in StillFrame::status): 1 or more a frame.
enum GrabResult : int32_t {
  kGrabFrame = 1,
  kGrabNone = 0,              // nothing this time; the grabber tries again
  kGrabFailed = -1,           // the transfer failed (or no pipeline)
  kGrabStopped = -2,          // ended by the stop event: no frame, no failure
  kGrabDisconnected = -3,     // the device went away
  kGrabTransferError = -4,    // reported to the error callback; grabbing goes on
  kGrabNoFrameTimeout = -5,   // no frame within the exposure's limit
  kGrabNoPacketTimeout = -6,  // a frame's transfers stopped; raised as an event, then retried
};

// The outcome of one still grab.
struct StillFrame {
  int32_t status;  // a GrabResult: >= kGrabFrame a still, kGrabNone none, negative a failure
  uint32_t width;
  uint32_t height;
  uint32_t flag;
  uint32_t sequence;
  uint64_t timestamp;
  uint8_t pixelFormat = kRawFormatNone;  // of the raw samples the still was grabbed in
};

// How the pipeline shapes the delivered image right now.
struct StreamOutputShape {
  uint32_t outputMode = 0;  // RGB output mode 0..4
  bool rotated90 = false;   // 90 or 270 degrees
  bool bottomUp = false;
  uint32_t exposureUs = 0;
  uint32_t rawBits = 8;
  uint32_t rawBytesPerPixel = 1;
  // The largest of the raw formats the camera may switch to while streaming: buffers kept
  // across a switch are sized by it.
  uint32_t deepestRawBytesPerPixel = 1;
  uint32_t bayer = 0;  // the Bayer order at the full frame's origin, as the kernels read it
};

class StreamPipeline {
 public:
  virtual HRESULT startPipeline() = 0;
  virtual void finishPipeline() = 0;
  // One frame into the record through the model's grab, with defect repair and one AE step.
  virtual int32_t grabFrame(RawBufferRecord* record, platform::Event* stopEvent) = 0;
  virtual StillFrame grabStill(uint8_t* output, uint8_t* second, uint32_t pitch, uint8_t bits,
                               platform::Event* stopEvent, uint32_t width, uint32_t height,
                               uint32_t sensorWidth, uint32_t sensorHeight, uint32_t index) = 0;
  virtual StreamOutputShape shape() = 0;
  virtual void clearFrameCounter() {}
  virtual void installNotifications(LumorixImplCallback* sink) = 0;
  // Pipe 1 of a focus motor: bytes read, or negative. Must return once cancel is set.
  virtual int32_t readFocusPipe(uint8_t* buffer, uint32_t length, platform::Event& cancel) = 0;
  virtual uint32_t focusPosition() { return 0; }
  // Opens the device when it is not open yet (the helper's PLHlperInit).
  virtual HRESULT openDevice() { return S_OK; }
  // Fan and cooler through the pipeline's setters (PL_SetFan, PL_SetTec), which keep the two
  // coupled: the cooler needs the fan.
  virtual HRESULT setFan(uint16_t speed) = 0;
  virtual HRESULT setTec(uint32_t on) = 0;

 protected:
  ~StreamPipeline() = default;
};
