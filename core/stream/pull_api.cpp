// Pull queues and the preview pin's pull.
#include "core/stream/pull_api.h"

#include "core/stream/stream_claims.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "base/lumorix_flags.h"
#include "core/stream/delivery.h"
#include "core/stream/frame_geometry.h"
#include "core/stream/stream_pipeline.h"
#include "core/stream/wait_graph.h"
#include "kernels/bgr_luma.h"
#include "kernels/bgr_pad.h"
#include "platform/thread.h"
#include "usb/cusb.h"

uint8_t PullApi::Luma(uint8_t r, uint8_t g, uint8_t b) {
  return kernels::LumaOf(r, g, b);
}

bool PullApi::popLocked(std::deque<LumorixFrameEntry>& queue, LumorixFrameEntry* entry) {
  if (cam_.realTime_.load() == 1 && !cam_.transportInTriggerMode())
    while (queue.size() >= 2) {
      returnLocked(queue.front());
      queue.pop_front();
    }
  if (queue.empty()) return false;
  *entry = queue.front();
  queue.pop_front();
  return true;
}

// Our own buffers re-enter their queue or pool; anything else (a frame held across a stop) is
// freed.
void PullApi::returnLocked(const LumorixFrameEntry& entry) {
  auto owns = [&](const std::vector<uint8_t*>& made) {
    return std::find(made.begin(), made.end(), entry.data) != made.end();
  };
  if (entry.releaseToPool && owns(cam_.stillPoolBuffers_))
    cam_.stillBufferPool_.push_back(entry.data);
  else if (!entry.releaseToPool && owns(cam_.pullBuffers_))
    cam_.freeFrames_.push_back(LumorixFrameEntry{entry.data, {}, 0, 0});
  else if (!owns(cam_.pullBuffers_) && !owns(cam_.stillPoolBuffers_))
    FreeFrameBuffer(entry.data);
  if (cam_.frameAvailable_) cam_.frameAvailable_->set();
}

HRESULT PullApi::Pop(bool still, LumorixFrameEntry* entry) {
  if (entry == nullptr) return E_POINTER;
  *entry = LumorixFrameEntry{};
  std::lock_guard<platform::Mutex> guard(cam_.framesLock_);
  popLocked(still ? cam_.stillFrames_ : cam_.filledFrames_, entry);
  return S_OK;
}

HRESULT PullApi::ReturnFrame(LumorixFrameEntry* entry) {
  if (entry == nullptr || entry->data == nullptr) return S_OK;
  {
    std::lock_guard<platform::Mutex> guard(cam_.framesLock_);
    returnLocked(*entry);
  }
  *entry = LumorixFrameEntry{};
  return S_OK;
}

HRESULT PullApi::FreeFrame(LumorixFrameEntry* entry) {
  if (entry == nullptr) return S_OK;
  {
    std::lock_guard<platform::Mutex> guard(cam_.framesLock_);
    std::erase(cam_.pullBuffers_, entry->data);
    std::erase(cam_.stillPoolBuffers_, entry->data);
  }
  FreeFrameBuffer(entry->data);
  *entry = LumorixFrameEntry{};
  return S_OK;
}

HRESULT PullApi::checkBits(uint32_t bits) const {
  if (cam_.optRaw_.load()) return S_OK;
  const uint32_t mode = cam_.pipeline_ ? cam_.pipeline_->shape().outputMode : 0;
  const bool ok = (bits == 48 && mode == 1) ||
                  ((bits == 24 || bits == 32) && (mode == 0 || mode == 2)) ||
                  (bits == 16 && mode == 4) || (bits == 8 && (mode == 0 || mode == 2 || mode == 3));
  return ok ? S_OK : E_INVALIDARG;
}

HRESULT PullApi::PullImage(bool still, uint8_t* dst, uint32_t bits, uint32_t pitch,
                           LumorixFrameInfo* info) {
  std::deque<LumorixFrameEntry>& queue = still ? cam_.stillFrames_ : cam_.filledFrames_;
  if (dst == nullptr) {
    if (info == nullptr) return E_POINTER;
    std::lock_guard<platform::Mutex> guard(cam_.framesLock_);
    if (queue.empty()) return E_FAIL;
    *info = queue.front().info;
    return S_OK;
  }
  const HRESULT bitsOk = checkBits(bits);
  if (FAILED(bitsOk)) return bitsOk;
  LumorixFrameEntry entry{};
  {
    std::lock_guard<platform::Mutex> guard(cam_.framesLock_);
    if (!popLocked(queue, &entry)) return E_FAIL;
  }
  HRESULT hr = E_FAIL;
  if (entry.info.width != 0 && entry.info.height != 0) {
    if (info) *info = entry.info;
    hr = copyFrame(entry, dst, bits, pitch);
  }
  std::lock_guard<platform::Mutex> guard(cam_.framesLock_);
  returnLocked(entry);  // on every path, so no entry is lost
  return hr;
}

HRESULT PullApi::copyFrame(const LumorixFrameEntry& entry, uint8_t* dst, uint32_t bits,
                           uint32_t pitch) {
  const uint32_t w = entry.info.width;
  const uint32_t h = entry.info.height;
  const StreamOutputShape shape = cam_.pipeline_ ? cam_.pipeline_->shape() : StreamOutputShape{};
  const bool raw = cam_.optRaw_.load();
  const uint32_t srcBits = raw ? shape.rawBytesPerPixel * 8 : OutputBits(shape.outputMode);
  const uint32_t srcRow = raw ? shape.rawBytesPerPixel * w : uint32_t(DibRowBytes(srcBits, w));
  const uint32_t row = raw ? srcRow : bits == 32 ? w * 4 : uint32_t(DibRowBytes(bits, w));
  if (pitch == 0) pitch = row;
  if (pitch < row) return E_OUTOFMEMORY;
  const bool mono = (cam_.modelFlags() & LUMORIX_FLAG_MONO) != 0;
  if (raw || bits == srcBits) {
    for (uint32_t y = 0; y < h; ++y)
      std::memcpy(dst + size_t{y} * pitch, entry.data + size_t{y} * srcRow,
                  raw ? srcRow : std::min(row, srcRow));
    return S_OK;
  }
  ConvertRows(entry.data, srcBits, srcRow, dst, bits, pitch, w, h, mono);
  return S_OK;
}

void PullApi::ConvertRows(const uint8_t* src, uint32_t srcBits, uint32_t srcRow, uint8_t* dst,
                          uint32_t bits, uint32_t pitch, uint32_t w, uint32_t h, bool mono) {
  const uint32_t srcStep = srcBits / 8;
  const uint32_t dstStep = bits / 8;
  if (bits == 8 && srcStep == 3 && !mono) {
    kernels::BgrToLuma(src, srcRow, dst, pitch, w, h);
    return;
  }
  if (srcStep == 3 && dstStep == 4) {
    kernels::PadBgrTo32(src, srcRow, dst, pitch, w, h);
    return;
  }
  for (uint32_t y = 0; y < h; ++y) {
    const uint8_t* s = src + size_t{y} * srcRow;
    uint8_t* d = dst + size_t{y} * pitch;
    if (bits == 8 && mono) {
      for (uint32_t x = 0; x < w; ++x, s += srcStep) d[x] = s[0];
      continue;
    }
    if (bits == 8) {
      for (uint32_t x = 0; x < w; ++x, s += srcStep) d[x] = Luma(s[2], s[1], s[0]);
      continue;
    }
    for (uint32_t x = 0; x < w; ++x, s += srcStep, d += dstStep) {  // 32 -> 24
      d[0] = s[0];
      d[1] = s[1];
      d[2] = s[2];
    }
  }
}

void PullApi::giveBack(RawBufferRecord* record) {
  std::lock_guard<platform::Mutex> guard(cam_.lendLock_);
  for (size_t i = 0; i < CameraBufferImpl::kRecordCount; ++i)
    if (&cam_.buffers_.record(i) == record) cam_.lentRecords_ &= ~(1u << i);
  cam_.buffers_.pushFree(record);
}

HRESULT PullApi::PullFrameForPin(uint8_t* dst, uint32_t dstSize, platform::Event* extraEvent) {
  if (cam_.grabStatus_.load() < 0) return cam_.runState_.load() != 0 ? E_FAIL : S_FALSE;
  // The conversion reads the pipeline state a restart rebuilds: stop and restart wait for it.
  StreamClaim claim(cam_.claims_);
  if (!claim.held()) return S_FALSE;
  RawBufferRecord* record = nullptr;
  {
    std::lock_guard<platform::Mutex> guard(cam_.lendLock_);
    record = cam_.buffers_.popReady();
    for (size_t i = 0; record && i < CameraBufferImpl::kRecordCount; ++i)
      if (&cam_.buffers_.record(i) == record) cam_.lentRecords_ |= 1u << i;
  }
  if (record == nullptr) {
    // The grabber readies the next record; from inside a host's callback this thread may be the
    // one a set on the grabber waits for, so the wait is in the table as a join of the grabber.
    const WaitGraph::Join awaiting(platform::currentThreadId(), {cam_.grabberThreadId_.load()});
    platform::Event* events[] = {&cam_.buffers_.readyEvent(), &cam_.stopEvent_, extraEvent};
    platform::WaitAny(std::span<platform::Event* const>(events, extraEvent ? 3 : 2),
                      platform::kInfinite);
    return S_FALSE;
  }
  const ResolutionEntry& preview = cam_.previewTable_[cam_.previewIndex_.load()];
  const SensorRect full{0, 0, preview.width, preview.height};
  const SensorRect roi = record->roiPresent ? record->roi : full;
  const bool turned = cam_.pipeline_ && cam_.pipeline_->shape().rotated90;
  const uint32_t factor = record->binFactor >= 2 ? record->binFactor : 1;
  const ImageShape shape =
      DeliveredShape(roi.right - roi.left, roi.bottom - roi.top, factor, turned);
  // The pin's buffer is sized for its connected type: a frame of any other size (a size, region
  // or binning changed under the connection) would reach the host as a mis-sized picture.
  if (dst == nullptr || dstSize != ImageBytes(24, shape)) {
    giveBack(record);
    return E_FAIL;
  }
  const bool cropped = record->roiPresent && (roi.right - roi.left != preview.width ||
                                              roi.bottom - roi.top != preview.height);
  const StreamOutputShape raw = cam_.pipeline_ ? cam_.pipeline_->shape() : StreamOutputShape{};
  if (cropped) Delivery::CropInPlace(record->data, preview.width, roi, raw.rawBytesPerPixel);
  // The camera sends whole frames; the pipeline takes the factor to mean the samples are binned.
  Delivery::BinRawFrame(record->data, roi.right - roi.left, roi.bottom - roi.top, factor,
                        record->binAverage != 0, raw.rawBits);
  const RECT rect{static_cast<int32_t>(roi.left), static_cast<int32_t>(roi.top),
                  static_cast<int32_t>(roi.right), static_cast<int32_t>(roi.bottom)};
  cam_.RawToRgb24(record->data, record->format, dst, nullptr, cropped ? &rect : nullptr, factor, 0);
  giveBack(record);
  return S_OK;
}

HRESULT PullApi::Flush() {
  while (RawBufferRecord* record = cam_.buffers_.popReady()) cam_.buffers_.pushFree(record);
  {
    std::lock_guard<platform::Mutex> guard(cam_.framesLock_);
    while (!cam_.filledFrames_.empty()) {
      returnLocked(cam_.filledFrames_.front());
      cam_.filledFrames_.pop_front();
    }
  }
  if (cam_.frameAvailable_) cam_.frameAvailable_->set();
  if ((cam_.modelFlags() & LUMORIX_FLAG_DDR) && cam_.transport_) cam_.transport_->bDMAClear();
  return S_OK;
}

HRESULT BaseImpl::PullImage(uint8_t* dst, uint32_t bits, uint32_t rowPitch,
                            LumorixFrameInfo* info) {
  return PullApi(*this).PullImage(false, dst, bits, rowPitch, info);
}

HRESULT BaseImpl::PullStillImage(uint8_t* dst, uint32_t bits, uint32_t rowPitch,
                                 LumorixFrameInfo* info) {
  return PullApi(*this).PullImage(true, dst, bits, rowPitch, info);
}

HRESULT BaseImpl::PullFrameForPin(uint8_t* dst, uint32_t dstSize, platform::Event* extraEvent) {
  return PullApi(*this).PullFrameForPin(dst, dstSize, extraEvent);
}

HRESULT BaseImpl::PopFrame(LumorixFrameEntry* entry) {
  return PullApi(*this).Pop(false, entry);
}

HRESULT BaseImpl::PopStillFrame(LumorixFrameEntry* entry) {
  return PullApi(*this).Pop(true, entry);
}

HRESULT BaseImpl::ReturnFrame(LumorixFrameEntry* entry) {
  return PullApi(*this).ReturnFrame(entry);
}

HRESULT BaseImpl::FreeFrame(LumorixFrameEntry* entry) {
  return PullApi(*this).FreeFrame(entry);
}

HRESULT STDMETHODCALLTYPE BaseImpl::Flush() {
  return PullApi(*this).Flush();
}
