// The fill-buffer thread: raw frames to callbacks or the pull queues, stills, binning, FourCC.
#pragma once

#include <cstdint>

#include "core/base_impl.h"
#include "core/stream/frame_geometry.h"
#include "core/stream/stream_pipeline.h"

class Delivery {
 public:
  explicit Delivery(BaseImpl& camera) : cam_(camera) {}

  void thread_fillbuffer();
  // To the data callbacks, else the still queue. pooled holds the pool's buffer (empty for the
  // application's) until the queue takes it: a callback that deletes the camera leaves this
  // thread with it still held, freed on the way out.
  void deliverStill(const StillFrame& still, uint8_t* buffer, uint8_t* second, uint32_t pitch,
                    OwnedFrameBuffer& pooled, uint64_t context);
  uint8_t* takeStillPoolBuffer();
  void returnStillPoolBuffer(uint8_t* buffer);

  static void BinRawFrame(uint8_t* data, uint32_t width, uint32_t height, uint32_t factor,
                          bool average, uint32_t bits);
  // The raw frame's FourCC; bayerIndex is the order at the delivered region's first sample.
  static uint32_t GetRawFourCC(uint32_t bayerIndex, uint32_t format, bool mono);
  // Moves the region's rows to the start of the buffer.
  static void CropInPlace(uint8_t* data, uint32_t frameWidth, const SensorRect& roi,
                          uint32_t bytesPerPixel);

  static constexpr uint32_t kReadyWaitMs = 1000;

 private:
  struct Output {
    uint8_t* data = nullptr;
    uint8_t* second = nullptr;
    uint32_t pitch = 0;
    bool entry = false;  // a pull-queue entry
    uint64_t bytes = 0;  // room at data; 0 for a caller's buffer, whose room is not told
  };
  bool serveSnapRequests(int32_t& snapLeft, uint64_t& snapContext);
  void returnReadyFrames();
  RawBufferRecord* takeReady();
  bool takeOutput(Output& out);
  bool takePullEntry(Output& out);
  void deliver(RawBufferRecord* record, const Output& out, bool snap, uint64_t snapContext);
  bool refusedAsShort(const Output& out, uint64_t bytes, OwnedFrameBuffer& held);
  void regionSize(const RawBufferRecord* record, uint32_t& w, uint32_t& h) const;
  bool shapeRaw(RawBufferRecord* record, const StreamOutputShape& shape, uint32_t& w, uint32_t& h);
  void dropToRaw(RawBufferRecord* record);
  template <typename Ready>
  void rawCallbackOnly(RawBufferRecord* record, Ready&& ready);
  void endOfStream();
  LumorixFrameHeader stillHeader(const StillFrame& still, uint32_t w, uint32_t h,
                                 uint8_t* format) const;
  void waitForFrames();

  BaseImpl& cam_;
};
