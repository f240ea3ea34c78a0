// Fill-buffer thread, frame and still delivery, the still pool, software binning and FourCC.
#include "core/stream/delivery.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <optional>
#include <vector>

#include "base/lumorix_events.h"
#include "base/lumorix_flags.h"
#include "base/pixel_formats.h"
#include "core/stream/event_sink.h"
#include "core/stream/frame_geometry.h"
#include "core/stream/grabber.h"
#include "core/stream/own_thread_delete.h"
#include "core/stream/stream_pipeline.h"
#include "base/trace.h"
#include "kernels/demosaic.h"
#include "kernels/output.h"
#include "kernels/raw_bin.h"
#include "pipeline/pl_helper_base.h"
#include "platform/clock.h"
#include "usb/cusb.h"

namespace {

void* contextOf(uint64_t context) {
  return reinterpret_cast<void*>(context);
}

}  // namespace

void Delivery::thread_fillbuffer() {
  ZX_TRACE("%s: enter", "thread_fillbuffer");
  int32_t snapLeft = 0;
  uint64_t snapContext = 0;
  while (cam_.runState_.load() != 0 && cam_.grabStatus_.load() >= 0) {
    const bool stillDue = serveSnapRequests(snapLeft, snapContext);
    if (cam_.pause_.load() == static_cast<uint32_t>(PauseState::Paused) || stillDue) {
      returnReadyFrames();
      waitForFrames();
      continue;
    }
    RawBufferRecord* record = takeReady();
    if (record == nullptr) {
      waitForFrames();
      continue;
    }
    const bool snap = snapLeft > 0;
    const bool passes =
        snap || cam_.frameRate_.onFrame(platform::TickCountMs(), (record->info.flag & 1) != 0,
                                        record->info.sequence);
    Output out;
    if (!passes) {
      dropToRaw(record);
    } else if (takeOutput(out)) {
      deliver(record, out, snap, snapContext);
      if (snap) --snapLeft;
    }
    cam_.buffers_.pushFree(record);
  }
  if (snapLeft > 0) {
    std::lock_guard<platform::Mutex> guard(cam_.snapLock_);
    cam_.snapQueue_.push_front(SnapRequest{cam_.previewIndex_.load(), snapLeft, snapContext});
    cam_.snapPending_ = true;
  }
  if (cam_.grabStatus_.load() < 0 && cam_.runState_.load() != 0) endOfStream();
  ZX_TRACE("%s: leave", "thread_fillbuffer");
}

// Starts an in-stream snap or serves a still at another index; true when a still was due.
bool Delivery::serveSnapRequests(int32_t& snapLeft, uint64_t& snapContext) {
  if (snapLeft > 0 || !cam_.snapPending_.load()) return false;
  std::optional<SnapRequest> request;
  {
    std::lock_guard<platform::Mutex> guard(cam_.snapLock_);
    if (!cam_.snapQueue_.empty()) {
      request = cam_.snapQueue_.front();
      cam_.snapQueue_.pop_front();
    }
    cam_.snapPending_ = !cam_.snapQueue_.empty();
  }
  if (!request) return false;
  if (request->resolutionIndex == cam_.previewIndex_.load()) {
    snapLeft = request->count;
    snapContext = request->context;
    return false;
  }
  returnReadyFrames();
  Grabber(cam_).still_grabber(request->resolutionIndex, static_cast<uint32_t>(request->count),
                              request->context);
  return true;
}

void Delivery::returnReadyFrames() {
  while (RawBufferRecord* record = cam_.buffers_.popReady()) cam_.buffers_.pushFree(record);
}

// In real-time mode outside trigger mode the newest ready frame; older ones go back.
RawBufferRecord* Delivery::takeReady() {
  RawBufferRecord* record = cam_.buffers_.popReady();
  if (record == nullptr || cam_.realTime_.load() == 0 || cam_.transportInTriggerMode())
    return record;
  while (RawBufferRecord* newer = cam_.buffers_.popReady()) {
    cam_.buffers_.pushFree(record);
    record = newer;
  }
  return record;
}

// The ready list is checked first: one auto-reset signal may stand for several frames.
void Delivery::waitForFrames() {
  if (!cam_.buffers_.readyList().empty()) return;
  // Between callback calls and bounded; a stop sets both: no edge in the wait table.
  platform::WaitAny({&cam_.buffers_.readyEvent(), &cam_.stopEvent_}, kReadyWaitMs);
}

bool Delivery::takeOutput(Output& out) {
  if (cam_.stillRequestCallback_) {
    cam_.stillRequestCallback_(0, &out.data, &out.pitch, &out.second, contextOf(cam_.userContext_));
    OwnThreadDelete::leaveIfDeleted();
    return out.data != nullptr;
  }
  if (cam_.dataCallbackA_ || cam_.dataCallbackB_ || cam_.stillBufferCallback_) {
    if (cam_.scratch_ == nullptr) {
      const ResolutionEntry& size = cam_.previewTable_[cam_.previewIndex_.load()];
      const uint64_t bytes =
          StreamFrameBytes(cam_.optRaw_.load(), cam_.pipeline_->shape(), size.width, size.height);
      cam_.scratch_ = AllocFrameBuffer(bytes);
      cam_.scratchBytes_ = static_cast<uint32_t>(bytes);
      if (cam_.scratch_ == nullptr) {
        cam_.grabStatus_ = -1;
        return false;
      }
    }
    out.data = cam_.scratch_;
    out.bytes = cam_.scratchBytes_;
    return true;
  }
  return takePullEntry(out);
}

// A free entry; in real-time mode outside trigger mode the newest filled one is recycled;
// otherwise wait until the application returns one or the stream stops.
bool Delivery::takePullEntry(Output& out) {
  while (cam_.runState_.load() != 0) {
    {
      std::lock_guard<platform::Mutex> guard(cam_.framesLock_);
      if (!cam_.freeFrames_.empty()) {
        out.data = cam_.freeFrames_.front().data;
        cam_.freeFrames_.pop_front();
        out.entry = true;
        out.bytes = cam_.pullBufferBytes_;
        return true;
      }
      if (cam_.realTime_.load() != 0 && !cam_.transportInTriggerMode() &&
          !cam_.filledFrames_.empty()) {
        out.data = cam_.filledFrames_.back().data;
        cam_.filledFrames_.pop_back();
        out.entry = true;
        out.bytes = cam_.pullBufferBytes_;
        return true;
      }
    }
    if (!cam_.frameAvailable_) return false;
    // Between callback calls, and a stop sets both before its join: no edge in the wait table.
    platform::WaitAny({cam_.frameAvailable_.get(), &cam_.stopEvent_}, platform::kInfinite);
  }
  return false;
}

void Delivery::CropInPlace(uint8_t* data, uint32_t frameWidth, const SensorRect& roi,
                           uint32_t bytesPerPixel) {
  const uint32_t row = (roi.right - roi.left) * bytesPerPixel;
  for (uint32_t y = roi.top; y < roi.bottom; ++y)
    std::memmove(data + size_t{y - roi.top} * row,
                 data + (size_t{y} * frameWidth + roi.left) * bytesPerPixel, row);
}

void Delivery::regionSize(const RawBufferRecord* record, uint32_t& w, uint32_t& h) const {
  const ResolutionEntry& preview = cam_.previewTable_[cam_.previewIndex_.load()];
  w = record->roiPresent ? record->roi.right - record->roi.left : preview.width;
  h = record->roiPresent ? record->roi.bottom - record->roi.top : preview.height;
}

// The raw path of every frame, delivered or dropped by the rate limit, so the raw callback always
// gets the same kind of samples: the model's quick demosaic, then the region cropped out of the
// frame in place, then binned. Sets the size it leaves; true when binned.
bool Delivery::shapeRaw(RawBufferRecord* record, const StreamOutputShape& shape, uint32_t& w,
                        uint32_t& h) {
  regionSize(record, w, h);
  cam_.RawQuickDemosaic(record->data, w, h, record->format);
  const uint32_t frameWidth = record->fullFrame.right
                                  ? record->fullFrame.right
                                  : cam_.previewTable_[cam_.previewIndex_.load()].width;
  if (record->roiPresent && (w != frameWidth || record->roi.top != 0))
    CropInPlace(record->data, frameWidth, record->roi, shape.rawBytesPerPixel);
  if (record->binFactor < 2 || record->binFactor > 4) return false;
  BinRawFrame(record->data, w, h, record->binFactor, record->binAverage != 0, shape.rawBits);
  w = (w / record->binFactor) & ~1u;
  h = (h / record->binFactor) & ~1u;
  return true;
}

// A bottom-up image counts the region's rows from the bottom of the preview. The frame is readied
// for the callback (see dropToRaw) only when one is set.
template <typename Ready>
void Delivery::rawCallbackOnly(RawBufferRecord* record, Ready&& ready) {
  SensorRect roi = record->roi;
  const uint32_t height = cam_.previewTable_[cam_.previewIndex_.load()].height;
  if (record->roiPresent && roi.bottom <= height && cam_.pipeline_ &&
      cam_.pipeline_->shape().bottomUp) {
    roi.top = height - record->roi.bottom;
    roi.bottom = height - record->roi.top;
  }
  cam_.rawDataNotify_.callReady(ready, record->data, record->roiPresent ? &roi : nullptr,
                                record->format);
}

// A frame the rate limit drops goes to the raw callback alone, shaped as a delivered one; it is
// shaped only once a callback has been taken, sparing the time the limit is there to save.
void Delivery::dropToRaw(RawBufferRecord* record) {
  rawCallbackOnly(record, [&] {
    if (!cam_.pipeline_) return;
    uint32_t w = 0, h = 0;
    shapeRaw(record, cam_.pipeline_->shape(), w, h);
  });
}

void Delivery::deliver(RawBufferRecord* record, const Output& out, bool snap,
                       uint64_t snapContext) {
  // A pull entry is this thread's alone until it is queued: a hook that deletes the camera leaves
  // this thread holding it, and the stop has freed only what the queues held.
  OwnedFrameBuffer held(out.entry ? out.data : nullptr);
  const StreamOutputShape shape = cam_.pipeline_->shape();
  uint32_t w = 0, h = 0;
  LumorixFrameHeader header{40, 0, 0, 1, 0, 0, 0, {}};
  const bool binned = shapeRaw(record, shape, w, h);
  rawCallbackOnly(record, [] {});
  if (cam_.optRaw_.load()) {
    header.bitCount = static_cast<uint16_t>(shape.rawBits);
    // A region at an odd column or row starts on another colour than the full frame.
    const uint32_t bayer =
        record->roiPresent
            ? uint32_t(kernels::BayerPhaseForRoi(
                  int32_t(shape.bayer & 3), int32_t(record->roi.left), int32_t(record->roi.top)))
            : shape.bayer & 3;
    header.compression = GetRawFourCC(bayer, record->format, cam_.modelFlags() & LUMORIX_FLAG_MONO);
    header.imageSize = shape.rawBytesPerPixel * w * h;
    if (refusedAsShort(out, header.imageSize, held)) return;
    std::memcpy(out.data, record->data, header.imageSize);
  } else {
    header.bitCount = static_cast<uint16_t>(OutputBits(shape.outputMode));
    // The pipeline sizes the frame it reads by the region and the factor: the samples were
    // cropped and binned above.
    const RECT rect{int32_t(record->roi.left), int32_t(record->roi.top), int32_t(record->roi.right),
                    int32_t(record->roi.bottom)};
    cam_.RawToRgb24(record->data, record->format, out.data, out.second,
                    record->roiPresent ? &rect : nullptr, binned ? record->binFactor : 1,
                    shape.outputMode);
    OwnThreadDelete::leaveIfDeleted();  // the host's demosaic or histogram hook may delete it
  }
  ++cam_.framesDelivered_;
  if (shape.rotated90) std::swap(w, h);
  if (!cam_.optRaw_.load()) header.imageSize = uint32_t(DibRowBytes(header.bitCount, w)) * h;
  header.width = static_cast<int32_t>(w);
  header.height = static_cast<int32_t>(h);
  const LumorixFrameInfo info{w, h, record->info.flag, record->info.sequence,
                              record->info.timestamp};
  void* context = contextOf(snap ? snapContext : cam_.userContext_);
  if (cam_.dataCallbackA_) {
    cam_.dataCallbackA_(out.data, &header, snap, context);
    OwnThreadDelete::leaveIfDeleted();
  }
  if (cam_.dataCallbackB_) {
    cam_.dataCallbackB_(out.data, &info, snap, context);
    OwnThreadDelete::leaveIfDeleted();
  }
  if (cam_.stillBufferCallback_) {
    cam_.stillBufferCallback_(out.data, &header, snap, out.second, out.pitch, &info, record->format,
                              header.compression, 0, context);
    OwnThreadDelete::leaveIfDeleted();
  }
  if (!out.entry) return;
  {
    std::lock_guard<platform::Mutex> guard(cam_.framesLock_);
    const LumorixFrameEntry entry{out.data, info, record->format, 0};
    (snap ? cam_.stillFrames_ : cam_.filledFrames_).push_back(entry);
    held.release();
  }
  EventSink(cam_).raise(snap ? kEventStillImage : kEventImage);
}

// A raw still is described as the raw preview frame is: its format's depth, FourCC and bytes.
LumorixFrameHeader Delivery::stillHeader(const StillFrame& still, uint32_t w, uint32_t h,
                                         uint8_t* format) const {
  const StreamOutputShape shape = cam_.pipeline_->shape();
  LumorixFrameHeader header{40, static_cast<int32_t>(w), static_cast<int32_t>(h), 1, 0, 0, 0, {}};
  *format = kRawFormatNone;
  if (cam_.optRaw_.load()) {
    *format = still.pixelFormat;
    header.bitCount = static_cast<uint16_t>(shape.rawBits);
    header.compression =
        GetRawFourCC(shape.bayer & 3, still.pixelFormat, cam_.modelFlags() & LUMORIX_FLAG_MONO);
    header.imageSize = shape.rawBytesPerPixel * w * h;
    return header;
  }
  header.bitCount = static_cast<uint16_t>(OutputBits(shape.outputMode));
  header.imageSize = uint32_t(DibRowBytes(header.bitCount, w)) * h;
  return header;
}

// A frame deeper than the format the buffers were sized for (a model that switched beyond what
// it announced) is dropped, not written past the buffer; a pull entry goes back free.
bool Delivery::refusedAsShort(const Output& out, uint64_t bytes, OwnedFrameBuffer& held) {
  if (out.bytes == 0 || bytes <= out.bytes) return false;
  if (out.entry) {
    std::lock_guard<platform::Mutex> guard(cam_.framesLock_);
    cam_.freeFrames_.push_back(LumorixFrameEntry{out.data, {}, 0, 0});
    held.release();
  }
  return true;
}

void Delivery::deliverStill(const StillFrame& still, uint8_t* buffer, uint8_t* second,
                            uint32_t pitch, OwnedFrameBuffer& pooled, uint64_t context) {
  const bool turned = cam_.pipeline_->shape().rotated90;
  const uint32_t w = turned ? still.height : still.width;
  const uint32_t h = turned ? still.width : still.height;
  uint8_t format = kRawFormatNone;
  const LumorixFrameHeader header = stillHeader(still, w, h, &format);
  const LumorixFrameInfo info{w, h, still.flag, still.sequence, still.timestamp};
  void* ctx = contextOf(context);
  if (cam_.dataCallbackA_) {
    cam_.dataCallbackA_(buffer, &header, 1, ctx);
  } else if (cam_.dataCallbackB_) {
    cam_.dataCallbackB_(buffer, &info, 1, ctx);
  } else if (cam_.stillBufferCallback_) {
    cam_.stillBufferCallback_(buffer, &header, 1, second, pitch, &info, format, header.compression,
                              0, ctx);
  } else if (cam_.eventSink_) {
    {
      // The queue owns it from here: a delete from the event callback frees it with the queue.
      std::lock_guard<platform::Mutex> guard(cam_.framesLock_);
      cam_.stillFrames_.push_back(
          LumorixFrameEntry{buffer, info, format, pooled ? uint8_t{1} : uint8_t{0}});
      pooled.release();
    }
    EventSink(cam_).raise(kEventStillImage);
    return;
  }
  OwnThreadDelete::leaveIfDeleted();
}

// The most recently returned buffer first; a new one fits the largest preview size turned, or
// raw at the deepest format the stream may switch to (pooled buffers outlive a switch).
uint8_t* Delivery::takeStillPoolBuffer() {
  {
    std::lock_guard<platform::Mutex> guard(cam_.framesLock_);
    if (!cam_.stillBufferPool_.empty()) {
      uint8_t* buffer = cam_.stillBufferPool_.back();
      cam_.stillBufferPool_.pop_back();
      return buffer;
    }
  }
  uint64_t bytes = 0;
  const StreamOutputShape shape = cam_.pipeline_->shape();
  const bool raw = cam_.optRaw_.load();
  const uint32_t rawBytes = std::max(shape.rawBytesPerPixel, shape.deepestRawBytesPerPixel);
  const uint32_t bits = OutputBits(shape.outputMode);
  for (uint32_t i = 0; i < cam_.previewCount(); ++i)
    bytes = std::max(bytes, StillBytes(raw, rawBytes, bits, cam_.previewTable_[i].width,
                                       cam_.previewTable_[i].height));
  uint8_t* buffer = AllocFrameBuffer(bytes);
  if (buffer == nullptr) return nullptr;
  std::lock_guard<platform::Mutex> guard(cam_.framesLock_);
  cam_.stillPoolBuffers_.push_back(buffer);
  return buffer;
}

// Only buffers the pool made go back to it.
void Delivery::returnStillPoolBuffer(uint8_t* buffer) {
  std::lock_guard<platform::Mutex> guard(cam_.framesLock_);
  auto& made = cam_.stillPoolBuffers_;
  if (std::find(made.begin(), made.end(), buffer) != made.end())
    cam_.stillBufferPool_.push_back(buffer);
}

// Null frames to the data callbacks, then the event that names the cause.
void Delivery::endOfStream() {
  const int32_t status = cam_.grabStatus_.load();
  void* context = contextOf(cam_.userContext_);
  if (cam_.dataCallbackA_) {
    cam_.dataCallbackA_(nullptr, nullptr, 0, context);
    OwnThreadDelete::leaveIfDeleted();
  }
  if (cam_.dataCallbackB_) {
    cam_.dataCallbackB_(nullptr, nullptr, 0, context);
    OwnThreadDelete::leaveIfDeleted();
  }
  if (cam_.stillBufferCallback_) {
    cam_.stillBufferCallback_(nullptr, nullptr, 0, nullptr, 0, nullptr, 0, 0, 0, context);
    OwnThreadDelete::leaveIfDeleted();
  }
  EventSink(cam_).raise(status == kGrabDisconnected     ? kEventDisconnected
                        : status == kGrabNoFrameTimeout ? kEventNoFrameTimeout
                                                        : kEventError);
}

namespace {

// Output (ox, oy) sits at quad (ox / 2, oy / 2), colour parity (ox & 1, oy & 1); the factor and
// the mode are template arguments so the sums unroll and the inner loop has no branch.
template <class Sample, uint32_t F, bool Average>
void binSamples(Sample* data, uint32_t width, uint32_t height, uint32_t bits) {
  const uint32_t outW = (width / F) & ~1u;
  const uint32_t outH = (height / F) & ~1u;
  const uint32_t maximum = (1u << bits) - 1;
  const kernels::BinQuadsFn vector = F == 2 ? kernels::BinQuadsBy2(Average) : nullptr;
  for (uint32_t oy = 0; oy < outH; ++oy) {
    const Sample* rows[F];
    for (uint32_t j = 0; j < F; ++j)
      rows[j] = data + size_t{(oy / 2) * 2 * F + (oy & 1) + 2 * j} * width;
    Sample* out = data + size_t{oy} * outW;  // at or before every input still to be read
    uint32_t q = 0;
    if constexpr (F == 2 && sizeof(Sample) == 1)
      if (vector) q = vector(rows[0], rows[1], out, outW / 2, static_cast<uint8_t>(maximum));
    for (; q < outW / 2; ++q) {
      const uint32_t x0 = q * 2 * F;
      uint32_t even = 0, odd = 0;
      for (uint32_t j = 0; j < F; ++j)
        for (uint32_t i = 0; i < F; ++i) {
          even += rows[j][x0 + 2 * i];
          odd += rows[j][x0 + 2 * i + 1];
        }
      out[2 * q] = static_cast<Sample>(Average ? even / (F * F) : std::min(even, maximum));
      out[2 * q + 1] = static_cast<Sample>(Average ? odd / (F * F) : std::min(odd, maximum));
    }
  }
}

template <class Sample, uint32_t F>
void binSamples(Sample* data, uint32_t width, uint32_t height, bool average, uint32_t bits) {
  if (average)
    binSamples<Sample, F, true>(data, width, height, bits);
  else
    binSamples<Sample, F, false>(data, width, height, bits);
}

template <class Sample>
void binSamples(Sample* data, uint32_t width, uint32_t height, uint32_t factor, bool average,
                uint32_t bits) {
  if (factor == 2) binSamples<Sample, 2>(data, width, height, average, bits);
  if (factor == 3) binSamples<Sample, 3>(data, width, height, average, bits);
  if (factor == 4) binSamples<Sample, 4>(data, width, height, average, bits);
}

}  // namespace

// In place: every output sample lies at or before the inputs it reads, row by row.
void Delivery::BinRawFrame(uint8_t* data, uint32_t width, uint32_t height, uint32_t factor,
                           bool average, uint32_t bits) {
  if (factor < 2 || factor > 4) return;
  if (bits > 8)
    binSamples(reinterpret_cast<uint16_t*>(data), width, height, factor, average, bits);
  else
    binSamples(data, width, height, factor, average, bits);
}

// The demosaic hook's codes, so both name a pattern alike; an order of 4 reads as 0.
uint32_t Delivery::GetRawFourCC(uint32_t bayerIndex, uint32_t format, bool mono) {
  constexpr auto cc = [](const char(&s)[5]) {
    return uint32_t(uint8_t(s[0])) | uint32_t(uint8_t(s[1])) << 8 | uint32_t(uint8_t(s[2])) << 16 |
           uint32_t(uint8_t(s[3])) << 24;
  };
  if (mono) return cc("YYYY");
  if (format <= 4) return kernels::BayerFourCC(bayerIndex < 4 ? bayerIndex : 0);
  switch (format) {
    case 9:
    case 10:
      return cc("RGGB");
    case 5:
      return cc("Y411");
    case 6:
      return cc("VUYY");
    case 7:
      return cc("Y444");
    case 8:
      return cc("RGB8");
    case 11:
      return cc("UYVY");
    default:
      return 0;
  }
}

// What the next raw frame will carry: the sensor's format, named at the region the grabber takes
// next, by the rule the delivered headers use.
HRESULT BaseImpl::get_RawFormat(uint32_t* fourcc, uint32_t* bits) {
  if (fourcc == nullptr || bits == nullptr) return E_POINTER;
  if (stillSizeDiffers()) return E_NOTIMPL;
  const uint32_t format = helper_ ? helper_->pixelFormat : kPixelFormatCount;
  const StreamOutputShape shape = pipeline_ ? pipeline_->shape() : StreamOutputShape{};
  const SensorRect roi = transport_ ? transport_->requestedRoi() : SensorRect{};
  const auto bayer = uint32_t(
      kernels::BayerPhaseForRoi(int32_t(shape.bayer & 3), int32_t(roi.left), int32_t(roi.top)));
  const uint32_t code = Delivery::GetRawFourCC(bayer, format, isMono());
  if (code == 0 || format >= kPixelFormatCount) return E_UNEXPECTED;
  *fourcc = code;
  *bits = kFormatBitsPerPixel[format];
  return S_OK;
}
