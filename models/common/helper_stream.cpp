// The stream side every family's camera shares, over the pipeline helper.
#include "models/common/helper_stream.h"

#include <algorithm>
#include <mutex>

#include "core/camera_buffer_impl.h"
#include "base/pixel_formats.h"
#include "core/lumorix_impl_callback.h"
#include "core/stream/own_thread_delete.h"
#include "pipeline/frame_descriptor.h"
#include "pipeline/pl_frame_hooks.h"
#include "pipeline/pl_helper_base.h"
#include "pipeline/pl_start.h"
#include "platform/clock.h"
#include "platform/event.h"
#include "usb/cusb.h"

HRESULT HelperStream::openDevice() {
  const int32_t r = helper_.PLHlperInit();
  return r < 0 ? static_cast<HRESULT>(r) : S_OK;
}

HRESULT HelperStream::startPipeline() {
  InitPipeLineStep2(helper_);
  return S_OK;
}

void HelperStream::finishPipeline() {
  FiniPLHlper(helper_);
}

// One grab into the record through the helper, with its defect repair and AE step.
int32_t HelperStream::grabFrame(RawBufferRecord* record, platform::Event* stopEvent) {
  FrameDescriptor frame;
  frame.buffer = record->data;
  const int32_t r = PL_AutoExposure(helper_, &frame, stopEvent);
  if (r < 1) return r;
  record->format = frame.pixelFormat;
  record->roiPresent = frame.hasRoi;
  record->roi = SensorRect{frame.roi.left, frame.roi.top, frame.roi.right, frame.roi.bottom};
  record->fullFrame = SensorRect{};
  record->info = LumorixFrameInfo{helper_.frameWidth, helper_.frameHeight, 1, ++sequence_,
                                  platform::TickCountMs()};
  return r;
}

StillFrame HelperStream::grabStill(uint8_t* output, uint8_t* second, uint32_t, uint8_t bits,
                                   platform::Event* stopEvent, uint32_t width, uint32_t height,
                                   uint32_t sensorWidth, uint32_t sensorHeight, uint32_t index) {
  StillResult result;
  GrabStillFrame(helper_, &result, output, second, bits, stopEvent, width, height, sensorWidth,
                 sensorHeight, index);
  OwnThreadDelete::leaveIfDeleted();  // the host's demosaic or histogram hook may delete it
  return StillFrame{result.status,
                    result.width,
                    result.height,
                    result.frameInfo,
                    ++sequence_,
                    platform::TickCountMs(),
                    static_cast<uint8_t>(result.pixelFormat)};
}

StreamOutputShape HelperStream::shape() {
  StreamOutputShape s;
  s.outputMode = helper_.outputFormat;
  s.rotated90 = PL_IsRotated90(helper_);
  s.bottomUp = helper_.rowOrder != 0;
  s.bayer = helper_.bayer;
  // Raw delivery copies, crops and bins samples at the depth the sensor sends them in.
  if (helper_.pixelFormat < kPixelFormatCount) {
    s.rawBits = kFormatBitsPerPixel[helper_.pixelFormat];
    s.rawBytesPerPixel = kFormatBytesPerPixel[helper_.pixelFormat];
  }
  s.deepestRawBytesPerPixel = s.rawBytesPerPixel;
  for (uint32_t f = 0; f < kPixelFormatCount; ++f)
    if (helper_.formatAvailable[f])
      s.deepestRawBytesPerPixel =
          std::max<uint32_t>(s.deepestRawBytesPerPixel, kFormatBytesPerPixel[f]);
  uint32_t t = 0;
  if (!PL_CurrentExposureTime(helper_, &t)) {
    // The exposure paths write the applied time under the sensor lock, from other threads.
    std::lock_guard<platform::RecursiveLock> hold(helper_.sensorLock());
    t = helper_.appliedTime;
  }
  s.exposureUs = t;
  return s;
}

// Host threads may raise a notice while a start installs them: each context goes before its hook.
void HelperStream::installNotifications(LumorixImplCallback* sink) {
  PLHlperBase& h = helper_;
  h.onExposureChangedCtx = sink;
  h.onExposureChanged = [](void* c) { static_cast<LumorixImplCallback*>(c)->OnExposureChanged(); };
  h.onFfcDoneCtx = sink;
  h.onFfcDone = [](void* c) { static_cast<LumorixImplCallback*>(c)->OnFfcDone(); };
  h.onDfcDoneCtx = sink;
  h.onDfcDone = [](void* c) { static_cast<LumorixImplCallback*>(c)->OnDfcDone(); };
}

int32_t HelperStream::readFocusPipe(uint8_t* buffer, uint32_t length, platform::Event& cancel) {
  if (cancel.wait(0)) return -1;
  const int32_t opened = helper_.PLHlperInit();
  if (opened < 0) return opened;
  return static_cast<int32_t>(device_.ReadPipe(kFocusPipe, buffer, length));
}

uint32_t HelperStream::focusPosition() {
  return device_.GetFocusPosition();
}

HRESULT HelperStream::setFan(uint16_t speed) {
  return PL_SetFan(helper_, speed);
}

HRESULT HelperStream::setTec(uint32_t on) {
  return PL_SetTec(helper_, on);
}
