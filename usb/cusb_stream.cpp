// CUsb's streaming side: opening and closing it, the per-block check and the region writers.
#include <cstring>

#include "base/trace.h"
#include "usb/cusb.h"
#include "usb/grab_loop.h"

int32_t CUsb::EzusbGrabFrame(uint8_t* dst, platform::Event* stopEvent, uint32_t transferSize,
                             uint32_t frameBytes, uint32_t timeoutMs, uint32_t blockCount,
                             void* packetContext) {
  usb::GrabLoop loop(*this, dst, stopEvent, transferSize, frameBytes, timeoutMs, blockCount,
                     packetContext);
  return loop.run();
}

// A block is copied only when it has the expected length and fits inside the frame.
bool CUsb::OnGrabPacket(GrabState* state, uint32_t slot, void* packetContext) {
  const bool last = state->blocksDone + 1 == state->blocksTotal;
  const uint32_t expected = last ? state->lastBlockBytes : state->transferSize;
  const uint32_t actual = state->lengths[slot];
  const uint64_t at = static_cast<uint64_t>(state->transferSize) * state->blocksDone;
  if (actual != expected || at + expected > state->frameBytes) {
    ZX_TRACE_ERROR("%s: bad, nReaded = %u, nLength = %u, nBytesReturned = %u", "OnGrabPacket",
                   state->blocksDone + 1, expected, actual);
    return false;
  }
  if (expected) std::memcpy(state->destination + at, slots_[slot].buffer.data(), expected);
  ++state->blocksDone;
  state->bytesReceived += expected;
  ZX_TRACE("%s: ok, nReaded = %u, nLength = %u, nBytesReturned = %u", "OnGrabPacket",
           state->blocksDone, expected, actual);
  return true;
}

// A second call, or one after a failure, starts from nothing so no handle or buffer is left behind.
HRESULT CUsb::bInitUSB(bool systemInit) {
  closeStreaming(kCloseWaitMs);
  resetBudget_ = static_cast<int32_t>(readsInFlight_) + 1;
  const HRESULT opened = OpenInternalHandle();
  if (!backend_) return FAILED(opened) ? opened : E_FAIL;
  if (transferSize_ && FAILED(slots_.allocate(readsInFlight_, transferSize_))) {
    ZX_TRACE("%s", "CloseInternalHandle");
    CloseInternalHandle();
    return E_OUTOFMEMORY;
  }
  if (systemInit) {
    for (uint8_t mode : {usb::kStreamStart, usb::kStreamStop, usb::kStreamStart}) {
      const HRESULT hr = bSystemInit(mode);
      if (FAILED(hr)) return hr;
    }
  }
  return S_OK;
}

// Closing first ends every read the device still holds; only then are the buffers let go.
void CUsb::bFiniUSB() {
  ZX_TRACE("%s", "bFiniUSB");
  deviceOpened = 0;
  if (!backend_) {
    slots_.release(kCloseWaitMs);
    return;
  }
  bSystemInit(usb::kStreamStop);
  bSysFini();
  ZX_TRACE("%s", "Close");
  closeStreaming(kCloseWaitMs);
}

void CUsb::closeStreaming(uint32_t waitMs) {
  CloseInternalHandle();
  slots_.release(waitMs);
}

void CUsb::setRequestedRoi(const SensorRect& roi) {
  std::lock_guard<std::mutex> hold(roiMutex_);
  requestedRoi_ = roi;
  roiPending_ = 1;
}

bool CUsb::requestRoi(const SensorRect& roi) {
  std::lock_guard<std::mutex> hold(roiMutex_);
  if (roi.left == requestedRoi_.left && roi.top == requestedRoi_.top &&
      roi.right == requestedRoi_.right && roi.bottom == requestedRoi_.bottom)
    return false;
  requestedRoi_ = roi;
  roiPending_ = 1;
  return true;
}

void CUsb::clearRoi() {
  std::lock_guard<std::mutex> hold(roiMutex_);
  requestedRoi_ = appliedRoi_ = sensorWindow_ = SensorRect{};
  roiPending_ = 0;
}

SensorRect CUsb::appliedRoi() {
  std::lock_guard<std::mutex> hold(roiMutex_);
  return appliedRoi_;
}

SensorRect CUsb::sensorWindow() {
  std::lock_guard<std::mutex> hold(roiMutex_);
  return sensorWindow_;
}

bool CUsb::roiPending() {
  std::lock_guard<std::mutex> hold(roiMutex_);
  return roiPending_ != 0;
}

SensorRect CUsb::requestedRoi() {
  std::lock_guard<std::mutex> hold(roiMutex_);
  return requestedRoi_;
}

bool CUsb::takePendingRoi(SensorRect* taken) {
  std::lock_guard<std::mutex> hold(roiMutex_);
  if (!roiPending_) return false;
  roiPending_ = 0;
  appliedRoi_ = requestedRoi_;
  *taken = requestedRoi_;
  return true;
}

void CUsb::markRoiPending() {
  std::lock_guard<std::mutex> hold(roiMutex_);
  roiPending_ = 1;
}

void CUsb::setSensorWindow(const SensorRect& window) {
  std::lock_guard<std::mutex> hold(roiMutex_);
  sensorWindow_ = window;
}

// Event 11 goes out after the region mutex is released: a sink may read the region back.
void CUsb::EzWriteRoi(int32_t width, int32_t height) {
  SensorRect requested;
  {
    std::lock_guard<std::mutex> hold(roiMutex_);
    roiPending_ = 0;
    appliedRoi_ = requestedRoi_;
    requested = requestedRoi_;
  }
  SensorRect window{};
  GetSensorRoi(&requested, &window);
  const SensorRect previous = sensorWindow();
  {
    std::lock_guard<std::mutex> hold(roiMutex_);
    sensorWindow_ = window;
  }
  if (frameMode && static_cast<int64_t>(previous.right) - previous.left == width &&
      static_cast<int64_t>(previous.bottom) - previous.top == height)
    return;
  ZX_TRACE("%s: %d, %d, %d, %d", "EzWriteRoi", static_cast<int>(window.left),
           static_cast<int>(window.top), static_cast<int>(window.right),
           static_cast<int>(window.bottom));
  SetSensorRoi(&window);
  raiseEvent(11);
}

void CUsb::EzWriteRoiNotify(const SensorRect* window) {
  if (!window) return;
  ZX_TRACE("%s: %d, %d, %d, %d", "EzWriteRoi", static_cast<int>(window->left),
           static_cast<int>(window->top), static_cast<int>(window->right),
           static_cast<int>(window->bottom));
  SetSensorRoi(window);
  raiseEvent(11);
}
